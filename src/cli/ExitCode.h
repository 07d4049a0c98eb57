// ExitCode: the exit codes of keltrove-cli, the same for every command.
//
// With several ports, the worst code wins (the highest). Constants only.
#pragma once

namespace keltrove::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitDifferent = 1,   // verify, write, diff: differences found
    kExitUsage = 2,       // a usage error or a bad table file
    kExitCannotOpen = 3,  // a port cannot be opened
    kExitDevice = 4,      // no answer, an incomplete answer, or the line lost
    kExitOutputLost = 5,  // standard output or error could not take what was written
    kExitStopped = 130,   // stopped by Ctrl+C or a signal before the job was done
};

inline constexpr const char* kExitCodeTable =
    R"(Exit codes, the same for every command (with several ports the worst one wins):
  0    success
  1    differences found (verify, write, diff)
  2    usage error or bad table file
  3    a port cannot be opened
  4    the device failed: no answer, an incomplete answer, the line lost, or no
       read-back that confirms a write
  5    the results could not be written: standard output or error was closed (the
       job itself ran to its end)
  130  stopped by Ctrl+C or a signal; the ports are closed, and a write cut short
       says after which entry it stopped)";

}  // namespace keltrove::cli
