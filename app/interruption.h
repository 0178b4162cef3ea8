#pragma once

#include <functional>

// Ctrl-C (and a polite kill) in command-line mode. The signal only raises a flag; `onInterrupt`
// runs from the event loop, which turns only while the run waits on the network. A picture is
// never being written then, so ending there leaves no half-written file behind.
void endOnInterrupt(std::function<void()> onInterrupt);
