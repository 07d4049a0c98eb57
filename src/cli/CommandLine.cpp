#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <string_view>

#include "ComNames.h"
#include "ExitCode.h"
#include "Version.h"

namespace keltrove::cli {

namespace {

constexpr const char* kAbout =
    R"(Reads, writes and checks the table of DERID panels, on one or several serial ports at
the same time, with the same frames and pacing as the Keltrove window.)";

// What a port name stands for differs by platform; the rest of the help does not.
#ifdef _WIN32
constexpr const char* kPorts = R"help(
PORT is one of the computer's own ports, COM1 to COM256 (in any case), or \\.\COMn.
Device Manager lists them under "Ports (COM & LPT)"; 'keltrove-cli ports' lists them too.
The Keltrove window offers COM1 to COM8: to use an adapter there, give it a number from 1
to 8 in Device Manager (the port's Properties, Port Settings, Advanced). File names may hold
any characters, such as C:\Users\Jürgen\Documents\panel.txt.)help";
#else
constexpr const char* kPorts = R"(
PORT is COM1 to COM8 (in any case), as the Keltrove window maps them, or a device path.
COMn is looked up in $KELTROVE_PORT_DIR, then in your own map (~/.config/keltrove/ports,
which 'keltrove-cli map' writes), then in /etc/keltrove/ports, and is /dev/ttyS<n-1> at
last; 'keltrove-cli ports' shows what each stands for.)";
#endif

constexpr const char* kFooter = R"(
-p may be repeated, each port once: the ports are served side by side, and with several
ports -o and --backup must hold {port}, which becomes the port's name.

A read is whole only when entries 1 to 32 have all arrived. It fails when no new entry has
come for about a second (0.95 to 1 s), and ends within 32 s whatever the device sends.

A write is confirmed: the table is then read back and compared, and a panel that does not
answer that read-back is a device failure, since nothing shows that it took the table.
With --no-verify the frames are sent and nothing more ("sent, not confirmed"). --backup
reads the panel first and saves what it holds; when that read or the save fails, nothing is
written to that panel. --if-changed reads the panel first and writes only when it holds
something else. A write stopped by Ctrl+C or a signal says after which entry it stopped:
the panel may then hold part of the table, so write it again.

A table file holds lines "N VALUE": the entry number 1 to 32, one blank, then the value
as it stands (0 to 4 characters, blanks kept; "\\" and "\xHH" escapes). Lines starting
with "#" are comments. Values go to the panel right-aligned and filled with "0" on the
left, as the window sends its fields ("12" becomes 0012). A panel value that a write
would store otherwise ("12  " becomes 0012) is named on standard error, and in a comment
of the file that read writes.

With --json every run prints one JSON object on standard output, failures included: its
"exit" is the exit code, and its "error" (or "problems", for a bad table file) says why.

)";

// "com1" and "Com1" are COM1, as Windows takes them; anything else stays as given.
std::string NormalPortName(std::string port) {
    if (const int number = AnyComNumber(port); number != 0) return ComPortName(number);
    return port;
}

std::string PortCheck(const std::string& port) {
    const bool comLike = port.size() <= 6 && (port.starts_with("COM") || port.starts_with("com"));
    if (comLike && ComNumber(port, kLastNamedComPort) == 0) {
        return kLastNamedComPort == kLastComPort
                   ? "the port names are COM1 to COM8 (or give a device path)"
                   : "the port names are COM1 to COM" + std::to_string(kLastNamedComPort) +
                         " (or give one as \\\\.\\COMn)";
    }
    return {};
}

std::string NotEmpty(const std::string& path) {
    return path.empty() ? "needs a file name" : std::string();
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

}  // namespace

Parsed ParseCommandLine(int argc, const char* const* argv) {
    Request request;
    CLI::App app(kAbout, "keltrove-cli");
    app.footer(std::string(kPorts) + kFooter + kExitCodeTable);
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
        command->add_option("-p,--port", request.ports, "a port: COM1 to COM8, or a device path")
            ->type_name("PORT")
            ->required()
            ->take_all()
            ->allow_extra_args(false)
            ->transform(NormalPortName)
            ->check(PortCheck);
    };
    CLI::App* read = app.add_subcommand("read", "reads the panel's table");
    ports(read);
    read->add_option("-o,--output", request.output,
                     "writes the table to FILE, atomically, instead of standard output")
        ->type_name("FILE")
        ->check(NotEmpty);
    CLI::App* write = app.add_subcommand("write",
                                         "writes the table in FILE into the panel, "
                                         "then reads it back to confirm it");
    ports(write);
    write->add_option("FILE", request.file, "the table file")->required();
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
    CLI::App* verifyCommand =
        app.add_subcommand("verify", "reads the panel and compares it with FILE");
    ports(verifyCommand);
    verifyCommand->add_option("FILE", request.file, "the table file")->required();
    CLI::App* diff = app.add_subcommand("diff", "compares two table files, offline");
    diff->add_option("FILES", request.files, "FILE1 FILE2")->required()->expected(2);
    CLI::App* list = app.add_subcommand("ports",
                                        "what COM1 to COM8 stand for, and the serial "
                                        "devices found");
    CLI::App* map = app.add_subcommand("map", "maps COMn to DEVICE in your own, lasting map");
    map->add_option("COMn", request.com, "COM1 to COM8")->required()->transform(NormalPortName);
    map->add_option("DEVICE", request.device, "such as /dev/ttyUSB0")->required();
    CLI::App* unmap = app.add_subcommand("unmap", "removes COMn from your own map");
    unmap->add_option("COMn", request.com, "COM1 to COM8")->required()->transform(NormalPortName);

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
        parsed.text = error.what();
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
        {read, Command::Read},   {write, Command::Write}, {verifyCommand, Command::Verify},
        {diff, Command::Diff},   {list, Command::Ports},  {map, Command::Map},
        {unmap, Command::Unmap},
    };
    for (const auto& [subcommand, command] : commands) {
        if (subcommand->parsed()) request.command = command;
    }
    parsed.request = std::move(request);
    return parsed;
}

}  // namespace keltrove::cli
