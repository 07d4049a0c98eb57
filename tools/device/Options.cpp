#include "Options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <limits>

#include "ComNames.h"
#include "Version.h"

namespace keltrove::device {

namespace {

constexpr unsigned kMaxBaud = 4'000'000;
constexpr unsigned kMaxReplyGapMs = 60'000;

constexpr const char* kAbout =
    R"(Simulates the DERID panel device on a pseudo-terminal and plugs it in as COMn in
a port directory, so that Keltrove and keltrove-cli can choose it like a real serial
port: the directory given with --port-dir, else $KELTROVE_PORT_DIR (Keltrove looks
there first). It never writes into the user's lasting port map. Prints
"<dir>/COMn -> <pty>" on standard output once it serves, and again when it plugs in a
new line after --hangup-after. Logs every frame received (rx) and sent (tx), in hex
with the time of day, one line each, on standard error. Runs until Ctrl+C, SIGTERM or
SIGHUP, then removes COMn.

The device answers a read request (0x40) with 32 entry reports (0x50), entries 1 to 32
in order. It stores a write (0x10, then 0x30 frames, then 0x90) when the write end
arrives; a write that never ends changes nothing. Other frames are logged and ignored.)";

constexpr const char* kFooter = R"(
The table starts as 0101, 0102, ..., 0132 (entry n holds 01 and then n), or as the
table file given with --table: lines "N VALUE" (entry number 1 to 32, a blank, up to 4
characters), "#" comments; each value is stored right-aligned and filled with "0" on
the left, as Keltrove writes it ("12" is stored as 0012). keltrove-cli read writes such
files.

Exit status: 0 after a stop signal, 1 when the port cannot be served (such as a COMn
that another keltrove-device holds), 2 for a bad command line or table file.)";

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    DeviceOptions& options = line.options;
    CLI::App app(kAbout, "keltrove-device");
    app.footer(kFooter);
    app.get_formatter()->column_width(24);
    app.set_version_flag("--version", std::string("keltrove-device ") + kVersion);
    app.add_option("--as", options.portName, "the port name to take, COM1 to COM8")
        ->type_name("COMn")
        ->capture_default_str()
        ->check([](const std::string& name) {
            return ComNumber(name) != 0 ? std::string()
                                        : "takes COM1 to COM8, the names Keltrove offers";
        });
    app.add_option("--port-dir", options.portDir,
                   "the port directory to plug into (default: $KELTROVE_PORT_DIR)")
        ->type_name("DIR");
    app.add_option("--table", options.tableFile, "the table to start with (a table file)")
        ->type_name("FILE");
    app.add_option(
           "--baud", options.session.shape.baud,
           "the line's speed: the pty reports it, and answers are paced at it, 10 bits a byte")
        ->type_name("N")
        ->capture_default_str()
        ->check(CLI::Range(50u, kMaxBaud));
    app.add_option("--seed", options.seed, "seed for --split and --noise, to repeat a run")
        ->type_name("N");
    app.add_flag("--silent", options.session.silent, "never answers (writes are still stored)");
    unsigned gap = 0;
    auto* replyGap = app.add_option("--reply-gap", gap, "idle line time between reports (ms)")
                         ->type_name("MS")
                         ->check(CLI::Range(0u, kMaxReplyGapMs));
    bool burst = false;
    bool split = false;
    auto* burstFlag = app.add_flag("--burst", burst, "all 32 reports in one write, unpaced");
    auto* splitFlag =
        app.add_flag("--split", split, "reports in random pieces of 1 to 12 bytes, one write each");
    burstFlag->excludes(splitFlag)->excludes(replyGap);
    app.add_flag("--noise", options.session.shape.noise,
                 "1 to 4 random bytes (never 0x01) before each report");
    app.add_option("--hangup-after", options.session.hangupAfter,
                   "hangs the line up, like an unplugged adapter, once N frames have passed "
                   "(received plus sent); then plugs a new line in, which does not hang up")
        ->type_name("N")
        ->check(CLI::Range(1u, std::numeric_limits<unsigned>::max()));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        line.kind = CommandLine::Kind::Help;
        line.text = app.help();
        return line;
    } catch (const CLI::CallForVersion&) {
        line.kind = CommandLine::Kind::Help;
        line.text = app.version() + "\n";
        return line;
    } catch (const CLI::ParseError& error) {
        line.kind = CommandLine::Kind::Error;
        line.text = error.what();
        return line;
    }
    options.session.shape.replyGap = std::chrono::milliseconds(gap);
    if (burst) options.session.shape.mode = AnswerMode::Burst;
    if (split) options.session.shape.mode = AnswerMode::Split;
    if (options.portDir.empty()) {
        const char* dir = std::getenv("KELTROVE_PORT_DIR");
        options.portDir = dir != nullptr ? dir : "";
    }
    if (options.portDir.empty()) {
        line.kind = CommandLine::Kind::Error;
        line.text =
            "no port directory: give --port-dir DIR, or set KELTROVE_PORT_DIR (the "
            "simulator never plugs into your lasting port map)";
    }
    return line;
}

}  // namespace keltrove::device
