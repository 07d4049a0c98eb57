// Options: the command line of keltrove-device, parsed with CLI11.
//
//   keltrove-device [--as COMn] [--port-dir DIR] [--table FILE] [--baud N] [--seed N]
//                   [--silent] [--reply-gap MS] [--burst | --split] [--noise]
//                   [--hangup-after N] [--help] [--version]
//
// Callable from any thread. A bad command line gives Kind::Error with CLI11's message,
// which names the argument; --help and --version give Kind::Help with the text to print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "DeviceSession.h"

namespace keltrove::device {

struct DeviceOptions {
    std::string portName = "COM1";
    std::string portDir;  // where to plug in: --port-dir, else $KELTROVE_PORT_DIR
    std::optional<std::string> tableFile;
    std::optional<std::uint32_t> seed;  // for --split and --noise; random when absent
    SessionOptions session;
};

struct CommandLine {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Run;
    DeviceOptions options;
    std::string text;  // the help, or the error
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace keltrove::device
