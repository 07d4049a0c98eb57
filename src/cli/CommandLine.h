// CommandLine: keltrove-cli's commands and options, parsed with CLI11.
//
//   keltrove-cli [--trace] [--json] read   -p PORT... [-o FILE] [--wait SECONDS]
//   keltrove-cli [--trace] [--json] write  -p PORT... FILE [--no-verify] [--backup FILE]
//                                          [--if-changed] [--wait SECONDS]
//   keltrove-cli [--trace] [--json] verify -p PORT... FILE [--wait SECONDS]
//   keltrove-cli [--trace] [--json] station -p PORT... TABLE [--log FILE]
//                                           [--backup PATTERN] [--count N]
//   keltrove-cli [--json] diff FILE1 FILE2
//   keltrove-cli [--json] ports [--watch]
//   keltrove-cli map COMn DEVICE | unmap COMn     (left out of the help on Windows)
//
// Callable from any thread. A bad command line gives its message and exit code 2; --help
// and --version give their text and 0, each command's help only what concerns it. Port
// names are taken in any case (com1 is COM1) and judged by PortNameProblem (ComNames.h):
// on Windows only COM1 to COM256 and \\.\COMn are ports.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace keltrove::cli {

enum class Command { Read, Write, Verify, Station, Diff, Ports, Map, Unmap };

struct Request {
    Command command = Command::Ports;
    std::vector<std::string> ports;  // -p, in the order given
    std::string output;              // read -o
    std::string file;                // write, verify, station
    std::vector<std::string> files;  // diff: two
    bool confirm = true;             // write: reads the table back (not with --no-verify)
    std::string backup;              // write --backup FILE, station --backup PATTERN
    bool ifChanged = false;          // write --if-changed
    std::optional<double> wait;      // read, write, verify --wait: seconds
    bool watch = false;              // ports --watch
    std::string log;                 // station --log
    std::optional<unsigned> count;   // station --count
    bool trace = false;
    bool json = false;
    std::string com;     // map, unmap
    std::string device;  // map
};

struct Parsed {
    std::optional<Request> request;  // set when there is work to do
    int exitCode = 0;                // otherwise: 0 for --help and --version, 2 for errors
    std::string text;                // help, the version, or what is wrong
    bool json = false;               // --json was given, also on a line that does not parse
};

Parsed ParseCommandLine(int argc, const char* const* argv);

}  // namespace keltrove::cli
