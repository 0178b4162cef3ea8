#pragma once

class TransferEngine;
struct CommandLine;
struct OutputFolder;
struct ServiceRoots;

// Exit statuses of command-line mode.
enum ExitStatus
{
    ExitDone = 0,        // every picture saved, every page fetched
    ExitFailures = 1,    // something is missing from the result
    ExitBadArguments = 2 // bad arguments or environment: nothing was done
};

// A whole download without a window: the start action, then the retry action while failures
// remain, up to the retry count; every line on stdout, then one summary line. Returns the exit
// status. Ctrl-C ends the process at once.
int runDownload(const CommandLine& command, TransferEngine& network, const OutputFolder& output,
                const ServiceRoots& roots);
