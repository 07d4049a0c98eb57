#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "ComNames.h"
#include "ExitCode.h"
#include "Version.h"

namespace keltrove::cli {

namespace {

constexpr const char* kAbout =
    R"(Reads, writes and checks the table of DERID panels, on one or several serial ports at
the same time, with the same frames and pacing as the Keltrove window.)";

// What a port name stands for differs by platform; most of the rest of the help does not.
#ifdef _WIN32
constexpr const char* kPortOption =
    "a port: COM1 to COM256, \\\\.\\COMn, rfc2217://HOST:PORT or tcp://HOST:PORT";
constexpr const char* kPorts = R"help(
PORT is one of the computer's own ports, COM1 to COM256 (in any case), or \\.\COMn; CON,
NUL, AUX, PRN, LPT1, drives and files are not serial ports and are refused (exit 2).
Device Manager lists the ports under "Ports (COM & LPT)"; 'keltrove-cli ports' lists them
too. The Keltrove window offers COM1 to COM8: to use an adapter there, give it a number from
1 to 8 in Device Manager (the port's Properties, Port Settings, Advanced). Give files as
C:\... paths (one that starts with / reads as an option); their names may hold any
characters, such as C:\Users\Jürgen\Documents\panel.txt.

PORT may also be a port of a serial device server (ser2net, a terminal server) on the
network: rfc2217://HOST:PORT speaks RFC 2217 and sets the server's line to 9600 baud, 8N1;
tcp://HOST:PORT sends the bytes as they are, to a server port whose line is set up already.
COM1 to COM8 may stand for one, for the window too: 'keltrove-cli map COM3
rfc2217://HOST:PORT' keeps it in HKEY_CURRENT_USER\Software\Keltrove\Ports, in place of
the system's COM3, which \\.\COM3 still reaches; 'keltrove-cli unmap COM3' removes it.
Connecting gives up after 3 s. Neither protocol is encrypted or authenticated: keep such
servers on a closed network, or reach them through an SSH tunnel.

Examples:
  keltrove-cli read -p COM3 -o C:\Backup\panel.txt
  keltrove-cli write -p COM3 -p COM12 --backup C:\Backup\{port}.txt C:\Tables\new.txt
  keltrove-cli verify -p \\.\COM12 C:\Backup\new.txt
)help";
constexpr const char* kOneDevice = "COM1 and \\\\.\\COM1";
constexpr const char* kPipeExample = "";
constexpr const char* kLooksAgain = "It tries the port again once a second.";
constexpr const char* kWatched = "the ports Windows lists, looked at once a second";
constexpr const char* kMapTarget = "a network port: rfc2217://HOST:PORT or tcp://HOST:PORT";
#else
constexpr const char* kPortOption =
    "a port: COM1 to COM8, a device path, rfc2217://HOST:PORT or tcp://HOST:PORT";
constexpr const char* kPorts = R"(
PORT is COM1 to COM8 (in any case), as the Keltrove window maps them, or a device path.
COMn is looked up in $KELTROVE_PORT_DIR (which must then exist), then in your own map
(~/.config/keltrove/ports, which 'keltrove-cli map' writes), then in /etc/keltrove/ports,
and is /dev/ttyS<n-1> at last; 'keltrove-cli ports' shows what each stands for.

PORT may also be a port of a serial device server (ser2net, a terminal server) on the
network: rfc2217://HOST:PORT speaks RFC 2217 and sets the server's line to 9600 baud, 8N1;
tcp://HOST:PORT sends the bytes as they are, to a server port whose line is set up already.
A map entry may hold either (keltrove-cli map COM3 rfc2217://HOST:PORT). Connecting gives
up after 3 s. Neither protocol is encrypted or authenticated: keep such servers on a closed
network, or reach them through an SSH tunnel.
)";
constexpr const char* kOneDevice = "COM1 and the device it is mapped to; a link and its target";
constexpr const char* kPipeExample = " (/dev/stdout)";
constexpr const char* kLooksAgain =
    "It tries the port again as soon as a directory its names pass through changes (the COM "
    "maps, /dev/serial/by-id, /dev), and at least once a second.";
constexpr const char* kWatched =
    "the ttyUSB, ttyACM and ttyS devices, the /dev/serial/by-id names and the devices that "
    "COM1 to COM8 are mapped to";
constexpr const char* kMapTarget = "such as /dev/ttyUSB0, or rfc2217://HOST:PORT";
#endif

// `words` as a paragraph of the help: lines of at most 90 characters, a blank line before.
std::string Paragraph(const std::string& words) {
    constexpr std::size_t kWidth = 90;
    std::string text = "\n";
    std::size_t line = 0;
    for (std::size_t at = 0; at < words.size();) {
        const std::size_t end = std::min(words.find(' ', at), words.size());
        const std::size_t length = end - at;
        if (line > 0 && line + 1 + length > kWidth) {
            text += '\n';
            line = 0;
        } else if (line > 0) {
            text += ' ';
            ++line;
        }
        text.append(words, at, length);
        line += length;
        at = end + 1;
    }
    return text + "\n";
}

// What the help says of each matter, each once; a command's help holds those that concern it.
std::string SeveralPorts() {
    return Paragraph(std::string("-p may be repeated, each port once: the ports are served side by "
                                 "side. Two names of one device are refused (") +
                     kOneDevice +
                     "). With several ports, -o and --backup must hold {port}, which becomes "
                     "the port's name, and no two ports may be given one file.");
}

constexpr const char* kReading = R"(
A read is whole only when entries 1 to 32 have all arrived. The panel must start answering
within 0.2 to 0.25 s of the read request (5 ticks of the 50 ms reply timer), or the read
fails with "no report within 0.25 s" (exit 4); after that it must bring a new entry at
least every 0.95 to 1 s. A read ends within 32 s whatever the device sends.
)";

constexpr const char* kWriting = R"(
A write is confirmed: after its 34 frames the table is read back and compared. The
read-back request goes out after a quiet pause of 200 ms after the write end (the same
pause as before the write end), and only the reports that come after it count as its
answer, read as a read is (see 'keltrove-cli read --help'). A panel that does not answer it
is a device failure (exit 4), since nothing shows that it took the table. With --no-verify
the frames are sent and nothing more ("sent, not confirmed"). --backup reads the panel first
and saves what it holds; when that read or the save fails, nothing is written to that
panel. --if-changed reads the panel first and writes only when it holds something else. A
write stopped by Ctrl+C or a signal says after which entry it stopped: the panel may then
hold part of the table, so write it again.
)";

std::string Waiting() {
    return Paragraph(std::string("--wait SECONDS waits up to SECONDS for each port to be there "
                                 "and to open, instead of failing at once (exit 3): for an "
                                 "adapter that is not plugged in yet, or a port that another "
                                 "program still holds. ") +
                     kLooksAgain +
                     " A port lost during the job is not opened again: the job fails (exit 4) "
                     "and says what the panel may hold.");
}

std::string PortsWatch() {
    return Paragraph(std::string("'ports --watch' prints a line for each serial device that "
                                 "appears or goes (") +
                     kWatched +
                     "): the time, the device, its /dev/serial/by-id name, its driver, its "
                     "USB vendor, product and serial number, and the COMn it is mapped as; "
                     "plug an adapter in to see which it is. With --json, one JSON object a "
                     "line. Ctrl+C ends it.");
}

constexpr const char* kStation = R"(
The station serves every port on its own, side by side. It sends a read request at most
once a second until a panel answers with its whole table, and then writes TABLE into it
and confirms it by reading it back, as 'keltrove-cli write' does; a panel that holds TABLE
already (by the write's rule: a value matches when it is what writing TABLE stores) is
"unchanged", and nothing is written to it. --backup first saves what a panel held; when
that fails, the panel fails and nothing is written to it. Then it waits until that panel
has gone (no answer to two requests in a row, or the port lost) before it serves the next
one on that port: a panel still connected is never written twice. A port that is missing,
or lost, is waited for and opened again.

Each panel served gives a line on standard output: the time, the port, the result (written
and confirmed, unchanged, or failed and why) and the number served so far. On a terminal a
bell rings once for success and three times for a failure, and standard error shows what
each port is doing; elsewhere standard error has a line for each change. Ctrl+C ends the
station, a write under way at its next frame (that panel fails, saying what it may hold),
and a summary follows: the panels written, unchanged and failed. --count N ends it once N
panels have been served.

--log FILE appends a JSON object a line for each panel served, each line synced to the disk
before the station goes on: "time" (ISO 8601, with the offset from UTC), "port", "device",
"by_id" and "serial" (the adapter's /dev/serial/by-id name and serial number, where known),
"panel" (the count so far), "result" ("written", "unchanged" or "failed"), "error",
"sha256_before" and "sha256_after" (of the table as read, and as read back, in the table
file format without notes), "seconds" and "backup". With --json, standard output carries
the same objects, then one with the summary and "exit": JSON Lines, one object a line,
unlike the single object of the other commands.
)";

// What `option` (-o, --backup, or both) saves, and how.
std::string Saving(const std::string& option, bool backup) {
    return Paragraph(
        option +
        " saves a file atomically (a temporary file in the same folder, then a rename), so "
        "that a failed job leaves an earlier file whole; through a symbolic link it replaces "
        "what the link points at. It saves only a regular file: a device or a pipe" +
        kPipeExample + " is refused" +
        (option.starts_with("-o") ? ", and without -o a read's table goes to standard output"
                                  : "") +
        ". A file that cannot be saved exits 2, as a usage error does; what shows beforehand (a "
        "pipe, a folder that does not exist, a name too long" +
        (backup ? ", the table file being written, by its name, a link or a hard link" : "") +
        ") is refused before anything is sent.");
}

constexpr const char* kTableFiles = R"(
A table file holds lines "N VALUE": the entry number 1 to 32, one blank, then the value
as it stands (0 to 4 characters, blanks kept; "\\" and "\xHH" escapes). Lines starting
with "#" are comments. Values go to the panel right-aligned and filled with "0" on the
left, as the window sends its fields ("12" becomes 0012). A panel value that a write
would store otherwise ("12  " becomes 0012) is named on standard error, and in a comment
of the file that read writes.
)";

constexpr const char* kJson = R"(
With --json every run prints one JSON object on standard output, failures included: its
"exit" is the exit code, and its "error" (or "problems", for a bad table file) says why.
The station and 'ports --watch' print JSON Lines instead: one object a line as things
happen, and last one with "exit".
)";

// The exit codes a command can end with; the main help gives them all.
std::string ExitCodes(std::initializer_list<ExitCode> codes, const char* heading) {
    std::string text = std::string("\n") + heading + "\n";
    for (const ExitCodeMeaning& row : kExitCodeMeanings) {
        if (codes.size() != 0 && std::find(codes.begin(), codes.end(), row.code) == codes.end()) {
            continue;
        }
        std::string code = std::to_string(row.code);
        code.resize(5, ' ');
        text += "  " + code + row.meaning + "\n";
    }
    return text;
}

constexpr const char* kPortCodes = "Exit codes (with several ports the worst one wins):";

// "com1" and "Com1" are COM1 (on Windows "\\.\com1" is \\.\COM1), as Windows takes them;
// anything else stays as given.
std::string NormalPortName(std::string port) {
#ifdef _WIN32
    if (port.starts_with(kDeviceNamespace)) {
        const int number = AnyComNumber(std::string_view(port).substr(kDeviceNamespace.size()));
        if (number != 0) return std::string(kDeviceNamespace) + ComPortName(number);
    }
#endif
    if (const int number = AnyComNumber(port); number != 0) return ComPortName(number);
    return port;
}

std::string NotEmpty(const std::string& path) {
    return path.empty() ? "needs a file name" : std::string();
}

// --wait: seconds, fractions allowed. (CLI11's own checks would add their names to the help.)
std::string Seconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    const bool number = end != text.c_str() && *end == '\0' && std::isfinite(seconds);
    return number && seconds >= 0 ? std::string() : "needs a number of seconds, such as 10 or 0.5";
}

// --count: 1 or more.
std::string Count(const std::string& text) {
    unsigned count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    const bool number = error == std::errc() && end == text.data() + text.size();
    return number && count > 0 ? std::string() : "needs a number of panels, 1 or more";
}

// The error of a line that parsed but makes no sense; empty when it does.
std::string Check(const Request& request) {
    for (auto port = request.ports.begin(); port != request.ports.end(); ++port) {
        if (std::find(request.ports.begin(), port, *port) != port) {
            return "the port " + *port + " is given twice; give each port once";
        }
    }
    return {};
}

bool HasJsonFlag(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "--json") return true;
    }
    return false;
}

// What a line that names no command gave: an unknown option or command, or nothing.
std::string NoCommand(const CLI::App& app) {
    const std::vector<std::string> rest = app.remaining();
    const std::string commands = "read, write, verify, station, diff or ports";
    if (rest.empty()) return "a command is required: " + commands;
    if (rest.front().starts_with("-")) {
        return "unknown option " + rest.front() +
               "; the options before a command are --trace, --json, --help and --version";
    }
    return "unknown command " + rest.front() + "; the commands are " + commands;
}

}  // namespace

Parsed ParseCommandLine(int argc, const char* const* argv) {
    Request request;
    CLI::App app(kAbout, "keltrove-cli");
    // Wide enough for the longest option, so that its text stays a column of its own (the
    // manual page is made from this help).
    app.get_formatter()->column_width(32);
    app.set_version_flag("--version", std::string("keltrove-cli ") + kVersion);
    app.require_subcommand(1);
    app.add_flag("--trace", request.trace,
                 "every frame sent and received, and the bytes dropped as noise, in hex with a "
                 "monotonic time stamp and the port, on standard error");
    app.add_flag("--json", request.json,
                 "results as one JSON object on standard output, failures included");

    const auto ports = [&](CLI::App* command) {
        command->add_option("-p,--port", request.ports, kPortOption)
            ->type_name("PORT")
            ->required()
            ->take_all()
            ->allow_extra_args(false)
            ->transform(NormalPortName)
            ->check(PortNameProblem);
    };
    const auto wait = [&](CLI::App* command) {
        command
            ->add_option("--wait", request.wait,
                         "waits up to SECONDS for each port to be there and to open, instead "
                         "of failing at once")
            ->type_name("SECONDS")
            ->check(Seconds);
    };
    CLI::App* read = app.add_subcommand("read", "reads the panel's table");
    ports(read);
    wait(read);
    read->add_option("-o,--output", request.output,
                     "writes the table to FILE, atomically, instead of standard output")
        ->type_name("FILE")
        ->check(NotEmpty);
    read->footer(std::string(kPorts) + SeveralPorts() + Waiting() + kReading + Saving("-o", false) +
                 ExitCodes({kExitSuccess, kExitUsage, kExitCannotOpen, kExitDevice, kExitOutputLost,
                            kExitStopped},
                           kPortCodes));
    CLI::App* write = app.add_subcommand("write",
                                         "writes the table in FILE into the panel, "
                                         "then reads it back to confirm it");
    ports(write);
    write->add_option("FILE", request.file, "the table file")->required();
    wait(write);
    bool verify = false;
    write->add_flag("--verify", verify,
                    "reads the table back: the default, kept for older "
                    "scripts");
    bool noVerify = false;
    write->add_flag("--no-verify", noVerify,
                    "sends the table without reading it back; nothing confirms that the panel "
                    "took it");
    write
        ->add_option("--backup", request.backup,
                     "first reads the panel and saves its table to FILE, atomically; when "
                     "that fails, nothing is written to it")
        ->type_name("FILE")
        ->check(NotEmpty);
    write->add_flag("--if-changed", request.ifChanged,
                    "first reads the panel, and writes only when it holds something else");
    write->footer(std::string(kPorts) + SeveralPorts() + Waiting() + kWriting +
                  Saving("--backup", true) + kTableFiles +
                  ExitCodes({kExitSuccess, kExitDifferent, kExitUsage, kExitCannotOpen, kExitDevice,
                             kExitOutputLost, kExitStopped},
                            kPortCodes));
    CLI::App* verifyCommand =
        app.add_subcommand("verify", "reads the panel and compares it with FILE");
    ports(verifyCommand);
    verifyCommand->add_option("FILE", request.file, "the table file")->required();
    wait(verifyCommand);
    verifyCommand->footer(std::string(kPorts) + SeveralPorts() + Waiting() + kReading +
                          kTableFiles +
                          ExitCodes({kExitSuccess, kExitDifferent, kExitUsage, kExitCannotOpen,
                                     kExitDevice, kExitOutputLost, kExitStopped},
                                    kPortCodes));
    CLI::App* station = app.add_subcommand(
        "station",
        "writes TABLE into each panel connected to the ports, one after another, confirms "
        "it, and keeps a log");
    ports(station);
    station->add_option("TABLE", request.file, "the table file")->required();
    station
        ->add_option("--log", request.log,
                     "appends a JSON line for each panel served to FILE, synced to the disk")
        ->type_name("FILE")
        ->check(NotEmpty);
    station
        ->add_option("--backup", request.backup,
                     "saves what each panel held before it is written, in PATTERN with {time} "
                     "(and {port} with several ports), atomically")
        ->type_name("PATTERN")
        ->check(NotEmpty);
    station->add_option("--count", request.count, "ends once N panels have been served")
        ->type_name("N")
        ->check(Count);
    station->footer(std::string(kPorts) + SeveralPorts() + kStation + Saving("--backup", true) +
                    kTableFiles +
                    ExitCodes({kExitSuccess, kExitUsage, kExitDevice, kExitOutputLost},
                              "Exit codes (Ctrl+C is the usual end):"));
    CLI::App* diff = app.add_subcommand("diff", "compares two table files, offline");
    diff->add_option("FILES", request.files, "FILE1 FILE2")->required()->expected(2);
    diff->footer(
        std::string(kTableFiles) +
        ExitCodes({kExitSuccess, kExitDifferent, kExitUsage, kExitOutputLost}, "Exit codes:"));
    CLI::App* list = app.add_subcommand("ports",
                                        "what COM1 to COM8 stand for, and the serial "
                                        "devices found");
    list->add_flag("--watch", request.watch,
                   "then prints a line each time a serial device appears or goes, until "
                   "Ctrl+C");
    list->footer(std::string(kPorts) + PortsWatch() +
                 ExitCodes({kExitSuccess, kExitOutputLost}, "Exit codes:"));
    CLI::App* map = app.add_subcommand("map", "maps COMn to DEVICE in your own, lasting map");
    map->add_option("COMn", request.com, "COM1 to COM8")->required()->transform(NormalPortName);
    map->add_option("DEVICE", request.device, kMapTarget)->required();
    CLI::App* unmap = app.add_subcommand("unmap", "removes COMn from your own map");
    unmap->add_option("COMn", request.com, "COM1 to COM8")->required()->transform(NormalPortName);
    for (CLI::App* edit : {map, unmap}) {
        edit->footer(std::string(kPorts) +
                     ExitCodes({kExitSuccess, kExitUsage, kExitOutputLost}, "Exit codes:"));
    }
    // After the commands, which would each take it over as their own.
    app.footer(std::string(kPorts) + SeveralPorts() + Waiting() + kReading + kWriting + kStation +
               Saving("-o or --backup", true) + kTableFiles + PortsWatch() + kJson +
               ExitCodes({},
                         "Exit codes, the same for every command (with several ports the "
                         "worst one wins):"));

    Parsed parsed;
    parsed.json = HasJsonFlag(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        parsed.text = app.help();
        return parsed;
    } catch (const CLI::CallForVersion&) {
        parsed.text = app.version() + "\n";
        return parsed;
    } catch (const CLI::ParseError& error) {
        parsed.exitCode = kExitUsage;
        // CLI11 asks for a command before it looks at what it did not know.
        const bool noCommand = dynamic_cast<const CLI::RequiredError*>(&error) != nullptr &&
                               app.get_subcommands().empty();
        parsed.text = noCommand ? NoCommand(app) : error.what();
        return parsed;
    }
    if (verify && noVerify) {
        parsed.exitCode = kExitUsage;
        parsed.text = "--verify and --no-verify contradict each other; give one";
        return parsed;
    }
    if (std::string wrong = Check(request); !wrong.empty()) {
        parsed.exitCode = kExitUsage;
        parsed.text = std::move(wrong);
        return parsed;
    }
    request.confirm = !noVerify;
    const std::pair<CLI::App*, Command> commands[] = {
        {read, Command::Read},       {write, Command::Write}, {verifyCommand, Command::Verify},
        {station, Command::Station}, {diff, Command::Diff},   {list, Command::Ports},
        {map, Command::Map},         {unmap, Command::Unmap},
    };
    for (const auto& [subcommand, command] : commands) {
        if (subcommand->parsed()) request.command = command;
    }
    parsed.request = std::move(request);
    return parsed;
}

}  // namespace keltrove::cli
