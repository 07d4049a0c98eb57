// keltrove-cli: the DERID panel's table from the command line. See --help.
#include <csignal>

#include "CommandLine.h"
#include "Commands.h"
#include "StopRequest.h"

int main(int argc, char** argv) {
#ifndef _WIN32
    // A reader that goes away (| head) must not end a write half-way: the output is
    // dropped, the job ends in order, and the exit code says so.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const keltrove::cli::Parsed parsed = keltrove::cli::ParseCommandLine(argc, argv);
    if (!parsed.request) return keltrove::cli::Report(parsed);
    keltrove::cli::CStopRequest stop;  // before any thread starts
    return keltrove::cli::Run(*parsed.request, stop);
}
