#pragma once

#include "exitstatus.h"

class TransferEngine;
struct CommandLine;
struct OutputFolder;
struct ServiceRoots;

// A whole download without a window: the start action, then the retry action while failures
// remain, up to the retry count; the lines on stdout as the command asks for them (all, only the
// problems, or JSON), then the closing line or summary. Runs the application's event loop and
// returns the exit status. A signal stops the run at once, says what it came to, and returns; a
// closed stdout stops it and returns.
ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots);
