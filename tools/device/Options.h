// Options: the command line of keltrove-device.
//
//   keltrove-device [--as COMn] [--table FILE] [--baud N] [--seed N]
//                   [--silent] [--reply-gap MS] [--burst | --split] [--noise]
//                   [--hangup-after N] [--help]
//
// Values go in the next argument or after "=". Pure, callable from any thread. A bad
// command line gives Kind::Error with a message that names the argument; nothing throws.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "DeviceSession.h"

namespace keltrove::device {

struct DeviceOptions {
    std::string portName = "COM1";
    std::optional<std::string> tableFile;
    std::optional<std::uint32_t> seed;  // for --split and --noise; random when absent
    SessionOptions session;
};

struct CommandLine {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Run;
    DeviceOptions options;
    std::string error;  // Kind::Error
};

CommandLine ParseCommandLine(std::span<const std::string_view> args);

// The --help text, with the default table.
std::string UsageText();

}  // namespace keltrove::device
