#pragma once

#include "exitstatus.h"

class TransferEngine;
struct CommandLine;
struct OutputFolder;
struct ServiceRoots;

// A whole download without a window: the start action, then the retry action while failures
// remain, up to the retry count; every line on stdout, then one summary line. Returns the exit
// status. A signal, or a closed stdout, ends the process at once.
ExitStatus runDownload(const CommandLine& command, TransferEngine& network,
                       const OutputFolder& output, const ServiceRoots& roots);
