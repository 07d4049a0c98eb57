#include "Options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <limits>

#include "ComNames.h"
#include "LineTime.h"
#include "Version.h"

namespace keltrove::device {

namespace {

constexpr unsigned kMaxBaud = 4'000'000;
constexpr unsigned kMaxPauseMs = 60'000;  // --reply-gap, --answer-delay
constexpr unsigned kDefaultAwayMs = 1000;

constexpr const char* kAbout =
    R"(Simulates the DERID panel device on a pseudo-terminal and plugs it in as COMn in
a port directory, so that Keltrove and keltrove-cli can choose it like a real serial
port: the directory given with --port-dir, else $KELTROVE_PORT_DIR (Keltrove looks
there first). It never writes into the user's lasting port map. Prints
"<dir>/COMn -> <pty>" on standard output once it serves, and again each time it plugs
in a new line. Logs every frame received (rx) and sent (tx), in hex with the time of
day, one line each, and every change of line or panel, on standard error. Runs until
Ctrl+C, SIGTERM or SIGHUP, then removes COMn.

The device answers a read request (0x40) with 32 entry reports (0x50), entries 1 to 32
in order. It stores a write (0x10, then 0x30 frames, then 0x90) when the write end
arrives; a write that never ends changes nothing. Other frames are logged and ignored.)";

constexpr const char* kFooter = R"(
The table starts as 0101, 0102, ..., 0132 (entry n holds 01 and then n), or as the
table file given with --table: lines "N VALUE" (entry number 1 to 32, a blank, up to 4
characters), "#" comments; each value is stored right-aligned and filled with "0" on
the left, as Keltrove writes it ("12" is stored as 0012). keltrove-cli read writes such
files.

A panel list (--panels) has one panel a line, "TABLE STAY GAP": the panel's table (a
table file, relative to the list's folder; "default" for the table above; "zeros" for
0000 everywhere), then how long the panel stays connected and how long the line is
then without a panel, both in milliseconds; "#" starts a comment. The first panel is
there from the start; after the last one's gap no panel comes. The line stays plugged
in throughout. While no panel is connected, nothing answers or stores anything; each
panel starts with its own table and keeps what is written to it until it goes.

The control FIFO (--control) takes one command a line: "connect [TABLE]" connects a new
panel (after the one connected goes) with TABLE as in a panel list, relative to the
current folder, or the --table one; "disconnect"; "unplug" unplugs the line until
"plug". For example: echo 'connect zeros' > FIFO

Standard output lines (the only ones there, for scripts to wait for):
  <dir>/COMn -> <pty>          a line is plugged in, and serves
  <dir>/COMn unplugged         the line and COMn are gone
  panel N connected (TABLE)    with --panels or --control; N counts from 1
  panel N disconnected (writes stored: W)  the panel went, after W stored writes
  refused: COMMAND: REASON     a control command that was not carried out

Exit status: 0 after a stop signal, 1 when the port cannot be served (such as a COMn
that another keltrove-device holds), 2 for a bad command line, table file or panel
list.)";

// --hangup-after, and the replug options that --away needs one of. The check runs after
// the whole command line is parsed, when all three are known.
void AddLineOptions(CLI::App& app, DeviceOptions& options) {
    SessionOptions& session = options.session;
    ReplugOptions& replug = options.replug;
    const auto frames = CLI::Range(1u, std::numeric_limits<unsigned>::max());
    const auto times = CLI::Range(1u, kMaxScheduleMs);
    auto* hangup =
        app.add_option("--hangup-after", session.hangupAfter,
                       "hangs the line up, like an unplugged adapter, once N frames have passed "
                       "(received plus sent); then plugs a new line in at once, which does not "
                       "hang up")
            ->type_name("N")
            ->check(frames);
    auto* after =
        app.add_option_function<unsigned>(
               "--replug-after",
               [&session, &replug](unsigned count) {
                   session.hangupAfter = count;
                   session.hangupEveryLine = true;
                   replug.unplugOnHangup = true;
               },
               "unplugs the line like a USB adapter once N frames have passed on it (received "
               "plus sent): the pty hangs up and COMn goes; after --away a new pty comes under "
               "the same COMn, and so on for every line")
            ->type_name("N")
            ->check(frames);
    auto* every = app.add_option_function<unsigned>(
                         "--replug-every",
                         [&replug](unsigned ms) { replug.every = std::chrono::milliseconds(ms); },
                         "unplugs each line the same way MS after it was plugged in (with "
                         "--replug-after, whichever comes first)")
                      ->type_name("MS")
                      ->check(times);
    replug.away = std::chrono::milliseconds(kDefaultAwayMs);
    auto* away =
        app.add_option_function<unsigned>(
               "--away", [&replug](unsigned ms) { replug.away = std::chrono::milliseconds(ms); },
               "how long an unplugged line stays away (default " + std::to_string(kDefaultAwayMs) +
                   " ms)")
            ->type_name("MS")
            ->check(CLI::Range(0u, kMaxScheduleMs));
    hangup->excludes(after)->excludes(every)->excludes(away);
    app.final_callback([after, every, away] {
        if (away->count() != 0 && after->count() == 0 && every->count() == 0) {
            throw CLI::ValidationError("--away", "needs --replug-after or --replug-every");
        }
    });
}

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
    app.add_flag("--silent", options.session.silent,
                 "never answers a read request (writes are still stored, echoes still sent)");
    app.add_flag("--echo-writes", options.session.panel.echoWrites,
                 "sends each write-entry frame (0x30) back at once, as the report (0x50) of the "
                 "same entry and value");
    app.add_flag("--ignore-writes", options.session.panel.ignoreWrites,
                 "stores no write: write end changes nothing");
    unsigned answerDelay = 0;
    app.add_option("--answer-delay", answerDelay,
                   "waits MS after a read request before the first report of its answer; the "
                   "rest follow as usual")
        ->type_name("MS")
        ->check(CLI::Range(0u, kMaxPauseMs));
    unsigned gap = 0;
    auto* replyGap = app.add_option("--reply-gap", gap, "idle line time between reports (ms)")
                         ->type_name("MS")
                         ->check(CLI::Range(0u, kMaxPauseMs));
    bool burst = false;
    bool split = false;
    auto* burstFlag = app.add_flag("--burst", burst, "all 32 reports in one write, unpaced");
    auto* splitFlag =
        app.add_flag("--split", split, "reports in random pieces of 1 to 12 bytes, one write each");
    burstFlag->excludes(splitFlag)->excludes(replyGap);
    app.add_flag("--noise", options.session.shape.noise,
                 "1 to 4 random bytes (never 0x01) before each report");
    AddLineOptions(app, options);
    app.add_option("--panels", options.panelsFile,
                   "presents panels one after another behind the line, each with its own "
                   "table, as a panel list says (below)")
        ->type_name("FILE")
        ->excludes(app.add_option("--control", options.controlFifo,
                                  "takes commands (below) from FIFO, made when missing: "
                                  "connect [TABLE], disconnect, unplug, plug")
                       ->type_name("FIFO"));
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
    options.session.answerDelay = std::chrono::milliseconds(answerDelay);
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
