#pragma once

#include <functional>

// Ctrl-C (and a polite kill) in command-line mode. The signal only raises a flag; `onInterrupt`
// runs from the event loop, which turns only while the run waits on the network: never while
// a picture is being moved to its name.
void endOnInterrupt(std::function<void()> onInterrupt);
