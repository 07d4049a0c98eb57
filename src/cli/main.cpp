// keltrove-cli: the DERID panel's table from the command line. See --help.
#include <csignal>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "StopRequest.h"
#include "Terminal.h"

#ifdef _WIN32
#include "SystemError.h"  // Narrow
#endif

namespace {

int Main(int argc, const char* const* argv) {
#ifndef _WIN32
    // A reader that goes away (| head) must not end a write half-way: the output is
    // dropped, the job ends in order, and the exit code says so.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    keltrove::cli::PrepareConsole();
    const keltrove::cli::Parsed parsed = keltrove::cli::ParseCommandLine(argc, argv);
    if (!parsed.request) return keltrove::cli::Report(parsed);
    keltrove::cli::CStopRequest stop;  // before any thread starts
    return keltrove::cli::Run(*parsed.request, stop);
}

}  // namespace

#ifdef _WIN32
// The command line as the user typed it, whatever the code page: every text inside the
// program is UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(keltrove::Narrow(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& arg : args) pointers.push_back(arg.c_str());
    return Main(argc, pointers.data());
}
#else
int main(int argc, char** argv) {
    return Main(argc, argv);
}
#endif
