// Options: the command line of keltrove-device, parsed with CLI11.
//
//   keltrove-device [--as COMn] [--port-dir DIR] [--table FILE] [--baud N] [--seed N]
//                   [--silent] [--echo-writes] [--ignore-writes] [--answer-delay MS]
//                   [--reply-gap MS] [--burst | --split] [--noise]
//                   [--hangup-after N | [--replug-after N] [--replug-every MS] [--away MS]]
//                   [--panels FILE | --control FIFO] [--help] [--version]
//
// Callable from any thread. A bad command line gives Kind::Error with CLI11's message,
// which names the argument; --help and --version give Kind::Help with the text to print.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "DeviceSession.h"

namespace keltrove::device {

// How the line comes and goes, beyond what the session decides from its frames.
struct ReplugOptions {
    bool unplugOnHangup = false;  // a hang-up takes COMn away for `away` (--replug-after)
    std::chrono::milliseconds away{0};
    std::optional<std::chrono::milliseconds> every;  // unplugs each line after this long
};

struct DeviceOptions {
    std::string portName = "COM1";
    std::string portDir;  // where to plug in: --port-dir, else $KELTROVE_PORT_DIR
    std::optional<std::string> tableFile;
    std::optional<std::uint32_t> seed;  // for --split and --noise; random when absent
    SessionOptions session;
    ReplugOptions replug;
    std::optional<std::string> panelsFile;
    std::optional<std::string> controlFifo;
};

struct CommandLine {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Run;
    DeviceOptions options;
    std::string text;  // the help, or the error
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace keltrove::device
