#pragma once

// How the program ends, as the shell sees it.
enum class ExitStatus : int
{
    Done = 0,         // every picture saved, every page fetched
    Failures = 1,     // something is missing from the result
    BadArguments = 2, // bad arguments, settings or output folder: nothing was done
    NoAlbum = 3,      // the forum lists no album: most likely a mistyped name
    // Ended by a signal: 128 and its number, as a shell reports it, on every platform.
    HungUp = 129,      // SIGHUP
    Interrupted = 130, // SIGINT, Ctrl-C
    PipeClosed = 141,  // SIGPIPE: whoever read stdout has gone
    Terminated = 143,  // SIGTERM
};

constexpr int code(ExitStatus status)
{
    return static_cast<int>(status);
}
