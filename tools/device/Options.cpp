#include "Options.h"

#include <charconv>
#include <limits>

namespace keltrove::device {

namespace {

constexpr unsigned kMaxBaud = 4'000'000;
constexpr unsigned kMaxReplyGapMs = 60'000;
constexpr unsigned kMaxPortNumber = 8;  // Keltrove's port list offers COM1 to COM8

// The whole of `text` as a decimal number from `low` to `high`.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t low,
                                         std::uint64_t high) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return {};
    if (value < low || value > high) return {};
    return value;
}

bool IsPortName(std::string_view name) {
    if (!name.starts_with("COM") || name.size() < 4 || name[3] == '0') return false;
    return ParseNumber(name.substr(3), 1, kMaxPortNumber).has_value();
}

bool TakesValue(std::string_view name) {
    return name == "--as" || name == "--table" || name == "--baud" || name == "--seed" ||
           name == "--reply-gap" || name == "--hangup-after";
}

std::string Range(std::string_view name, std::uint64_t low, std::uint64_t high) {
    return std::string(name) + " takes a whole number from " + std::to_string(low) + " to " +
           std::to_string(high);
}

// Sets one option that takes a value; returns an error message, or "" when it is good.
std::string ApplyValue(std::string_view name, std::string_view value, DeviceOptions& options) {
    if (name == "--as") {
        if (!IsPortName(value)) {
            return "--as takes a port name that Keltrove offers, COM1 to COM8, not '" +
                   std::string(value) + "'";
        }
        options.portName = value;
    } else if (name == "--table") {
        if (value.empty()) return "--table needs a file name";
        options.tableFile = std::string(value);
    } else if (name == "--baud") {
        const auto baud = ParseNumber(value, 50, kMaxBaud);
        if (!baud) return Range(name, 50, kMaxBaud);
        options.session.shape.baud = static_cast<unsigned>(*baud);
    } else if (name == "--seed") {
        const auto seed = ParseNumber(value, 0, std::numeric_limits<std::uint32_t>::max());
        if (!seed) return Range(name, 0, std::numeric_limits<std::uint32_t>::max());
        options.seed = static_cast<std::uint32_t>(*seed);
    } else if (name == "--reply-gap") {
        const auto gap = ParseNumber(value, 0, kMaxReplyGapMs);
        if (!gap) return Range(name, 0, kMaxReplyGapMs) + " (milliseconds)";
        options.session.shape.replyGap = std::chrono::milliseconds(*gap);
    } else {  // --hangup-after
        const auto frames = ParseNumber(value, 1, std::numeric_limits<unsigned>::max());
        if (!frames) return Range(name, 1, std::numeric_limits<unsigned>::max());
        options.session.hangupAfter = static_cast<unsigned>(*frames);
    }
    return {};
}

// Sets one flag; returns false for an unknown one.
bool ApplyFlag(std::string_view name, DeviceOptions& options) {
    if (name == "--silent") {
        options.session.silent = true;
    } else if (name == "--burst") {
        options.session.shape.mode = AnswerMode::Burst;
    } else if (name == "--split") {
        options.session.shape.mode = AnswerMode::Split;
    } else if (name == "--noise") {
        options.session.shape.noise = true;
    } else {
        return false;
    }
    return true;
}

CommandLine Error(std::string message) {
    CommandLine line;
    line.kind = CommandLine::Kind::Error;
    line.error = std::move(message);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> args) {
    CommandLine line;
    bool burst = false;
    bool split = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> value;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != name.npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--help" || name == "-h") {
            line.kind = CommandLine::Kind::Help;
            return line;
        }
        if (!name.starts_with("-")) return Error("unexpected argument '" + std::string(name) + "'");
        if (TakesValue(name)) {
            if (!value && i + 1 == args.size()) return Error(std::string(name) + " needs a value");
            if (!value) value = args[++i];
            if (std::string problem = ApplyValue(name, *value, line.options); !problem.empty()) {
                return Error(std::move(problem));
            }
        } else if (value || !ApplyFlag(name, line.options)) {
            return Error(value ? std::string(name) + " takes no value"
                               : "unknown option '" + std::string(name) + "'");
        }
        burst = burst || name == "--burst";
        split = split || name == "--split";
    }
    if (burst && split) return Error("--burst and --split cannot be used together");
    if (burst && line.options.session.shape.replyGap.count() > 0) {
        return Error("--burst sends all reports in one write, so it cannot have --reply-gap");
    }
    return line;
}

std::string UsageText() {
    return R"(Usage: keltrove-device [--as COMn] [--table FILE] [--baud N] [fault options]

Simulates the DERID panel device on a pseudo-terminal and plugs it into Keltrove's port
directory as COMn, so that Keltrove can choose it like a real serial port. The port
directory is $KELTROVE_PORT_DIR, else $XDG_RUNTIME_DIR/keltrove, else /tmp/keltrove-<uid>.
Prints "<port directory>/COMn -> <pty>" on standard output once it serves, and again when it
plugs in a new line after --hangup-after. Logs every frame received (rx) and sent (tx),
in hex with the time of day, one line each, on standard error. Runs until Ctrl+C,
SIGTERM or SIGHUP, then removes COMn.

The device answers a read request (0x40) with 32 entry reports (0x50), entries 1 to 32 in
order. It stores a write (0x10, then 0x30 frames, then 0x90) when the write end arrives; a
write that never ends changes nothing. Other frames are logged and ignored.

Options:
  --as COMn          the port name to take, COM1 to COM8 (default COM1)
  --table FILE       the table to start with: 32 lines, one value of 1 to 4 printable
                     characters each, stored right-aligned and filled with "0" on the
                     left like Keltrove writes them ("12" is stored as 0012)
                     (default: 0101, 0102, ..., 0132, so entry n holds 01 and then n)
  --baud N           line speed for pacing the answer, 10 bits a byte (default 9600)
  --seed N           seed for --split and --noise, to repeat a run exactly
  --help             this text

Fault options:
  --silent           never answers (writes are still stored)
  --reply-gap MS     idle line time between one report and the next
  --burst            all 32 reports in one write, with no pacing
  --split            reports in random pieces of 1 to 12 bytes, one write each
  --noise            1 to 4 random bytes before each report; never 0x01, so a receiver
                     that skips bytes until the next 0x01 finds every report
  --hangup-after N   hangs the line up, like an unplugged adapter, once N frames have
                     passed: every frame received plus every report sent. Keltrove sees
                     the port go away; the simulator then plugs a new line in as COMn,
                     which does not hang up again.

Exit status: 0 after a stop signal, 1 when the port cannot be served (such as a COMn
that another keltrove-device holds), 2 for a bad command line or table file.
)";
}

}  // namespace keltrove::device
