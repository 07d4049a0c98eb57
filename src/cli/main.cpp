// keltrove-cli: the DERID panel's table from the command line. See --help.
#include <cstdio>

#include "CommandLine.h"
#include "Commands.h"
#include "StopRequest.h"

int main(int argc, char** argv) {
    const keltrove::cli::Parsed parsed = keltrove::cli::ParseCommandLine(argc, argv);
    if (!parsed.request) {
        std::fputs(parsed.text.c_str(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    keltrove::cli::CStopRequest stop;  // before any thread starts
    return keltrove::cli::Run(*parsed.request, stop);
}
