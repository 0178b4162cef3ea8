#pragma once

// Ends the program at once, from wherever it is called, even from inside a page fetch that
// an action is waiting in: no further event is handled and nothing more is fetched or saved.
[[noreturn]] void CleanAll();
