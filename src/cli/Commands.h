// Commands: what each of keltrove-cli's commands does, and its exit code.
//
// Data (tables, differences, JSON) goes to standard output; messages, the progress bar and
// the trace go to standard error. Main thread; the port jobs run on threads of their own.
#pragma once

#include "CommandLine.h"

namespace keltrove::cli {

class CStopRequest;

// Carries out `request`; returns the exit code (ExitCode.h).
int Run(const Request& request, CStopRequest& stop);

}  // namespace keltrove::cli
