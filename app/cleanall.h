#pragma once

// Ends the program once the window has stopped the run: the event loop returns, and everything
// is closed on the way out.
void CleanAll();
