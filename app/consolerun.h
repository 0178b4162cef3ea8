#pragma once

#include "exitstatus.h"

class TransferEngine;
struct CommandLine;
struct OutputFolder;
struct ServiceRoots;

// A whole download without a window: the start action, then the retry action while failures
// remain, up to the retry count; the lines on stdout as the command asks for them (all, the closing
// line alone, or JSON), then the closing line or summary. Returns the exit status. A signal, or a
// closed stdout, ends the process at once.
ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots);
