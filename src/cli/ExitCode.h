// ExitCode: the exit codes of keltrove-cli, the same for every command, and what each
// means in the help.
//
// With several ports, the worst code wins (the highest). Constants only.
#pragma once

namespace keltrove::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitDifferent = 1,   // verify, write, diff: differences found
    kExitUsage = 2,       // a usage error, a bad table file, or a file that cannot be saved
    kExitCannotOpen = 3,  // a port cannot be opened
    kExitDevice = 4,      // no answer, an incomplete answer, or the line lost; a station's panel
    kExitOutputLost = 5,  // standard output or error, or the station's log, could not take it
    kExitStopped = 130,   // stopped by Ctrl+C or a signal before the job was done
};

struct ExitCodeMeaning {
    ExitCode code;
    const char* meaning;  // lines after the first indented to the column of the first
};

inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kExitSuccess, "success"},
    {kExitDifferent, "differences found (verify, write, diff)"},
    {kExitUsage, "usage error, bad table file, or a file that -o or --backup cannot save"},
    {kExitCannotOpen, "a port cannot be opened"},
    {kExitDevice,
     "the device failed: no answer, an incomplete answer, the line lost, or no\n"
     "       read-back that confirms a write; for the station, a panel failed"},
    {kExitOutputLost,
     "the results could not be written: standard output or error was closed, or\n"
     "       the station's log could not be written (the job itself ran to its end)"},
    {kExitStopped,
     "stopped by Ctrl+C or a signal; the ports are closed, and a write cut short\n"
     "       says after which entry it stopped"},
};

}  // namespace keltrove::cli
