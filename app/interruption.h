#pragma once

#include "exitstatus.h"

#include <functional>

// The ways a command-line run is ended from outside: Ctrl-C, a polite kill, a closed terminal, and
// a reader of stdout that has gone. The signal only raises a flag; `onEnd` runs from the event
// loop, between two steps of the run: never while a picture is being moved to its name. It gets
// the status to exit with.
void endOnSignal(std::function<void(ExitStatus)> onEnd);

// Whether a signal has asked the program to end, though `onEnd` has not run yet: for waits
// that do not turn the event loop.
bool endRequested();

// stdout is closed: the run ends as after a signal, with ExitStatus::PipeClosed.
void endForClosedOutput();
