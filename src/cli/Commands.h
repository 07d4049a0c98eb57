// Commands: what each of keltrove-cli's commands does, and its exit code.
//
// Data (tables, differences, JSON) goes to standard output; messages, the progress bar and
// the trace go to standard error. With --json, every run ends with one JSON object holding
// its "exit" code and an "error" (null on success) or a bad file's "problems". Output that
// cannot be delivered is dropped and makes the exit code at least kExitOutputLost. Main
// thread; the port jobs run on threads of their own.
#pragma once

#include "CommandLine.h"

namespace keltrove::cli {

class CStopRequest;

// Carries out `request`; returns the exit code (ExitCode.h).
int Run(const Request& request, CStopRequest& stop);

// Says what a command line that holds no work gave: help, the version or its error.
int Report(const Parsed& parsed);

}  // namespace keltrove::cli
