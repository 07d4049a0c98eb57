#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include "ComNames.h"
#include "ExitCode.h"
#include "Version.h"

namespace keltrove::cli {

namespace {

constexpr const char* kAbout = R"(Reads, writes and checks the table of DERID panels, on one or several serial ports at
the same time, with the same frames and pacing as the Keltrove window.)";

constexpr const char* kFooter = R"(
PORT is COM1 to COM8, as the Keltrove window maps them, or a device path. On Linux, COMn
is looked up in $KELTROVE_PORT_DIR, then in your own map (~/.config/keltrove/ports, which
'keltrove-cli map' writes), then in /etc/keltrove/ports, and is /dev/ttyS<n-1> at last;
'keltrove-cli ports' shows what each stands for. On Windows, COM1 to COM8 are the
system's own ports. -p may be repeated: the ports are served side by side, and with
several ports -o must hold {port}, which becomes the port's name.

A table file holds lines "N VALUE": the entry number 1 to 32, one blank, then the value
as it stands (0 to 4 characters, blanks kept; "\\" and "\xHH" escapes). Lines starting
with "#" are comments. Values go to the panel right-aligned and filled with "0" on the
left, as the window sends its fields ("12" becomes 0012).

)";

std::string PortCheck(const std::string& port) {
    if (port.starts_with("COM") && ComNumber(port) == 0 && port.size() <= 5) {
        return "the port names are COM1 to COM8 (or give a device path)";
    }
    return {};
}

}  // namespace

Parsed ParseCommandLine(int argc, const char* const* argv) {
    Request request;
    CLI::App app(kAbout, "keltrove-cli");
    app.footer(std::string(kFooter) + kExitCodeTable);
    // Wide enough for the longest option, so that its text stays a column of its own (the
    // manual page is made from this help).
    app.get_formatter()->column_width(32);
    app.set_version_flag("--version", std::string("keltrove-cli ") + kVersion);
    app.require_subcommand(1);
    app.add_flag("--trace", request.trace,
                 "every frame sent and received, and the bytes dropped as noise, in hex with a "
                 "monotonic time stamp and the port, on standard error");
    app.add_flag("--json", request.json, "results as one JSON object on standard output");

    const auto ports = [&](CLI::App* command) {
        command->add_option("-p,--port", request.ports, "a port: COM1 to COM8, or a device path")
            ->type_name("PORT")
            ->required()
            ->take_all()
            ->allow_extra_args(false)
            ->check(PortCheck);
    };
    CLI::App* read = app.add_subcommand("read", "reads the panel's table");
    ports(read);
    read->add_option("-o,--output", request.output,
                     "writes the table to FILE, atomically, instead of standard output")
        ->type_name("FILE");
    CLI::App* write = app.add_subcommand("write", "writes the table in FILE into the panel");
    ports(write);
    write->add_option("FILE", request.file, "the table file")->required();
    write->add_flag("--verify", request.verify, "then reads the table back and compares it");
    CLI::App* verify = app.add_subcommand("verify", "reads the panel and compares it with FILE");
    ports(verify);
    verify->add_option("FILE", request.file, "the table file")->required();
    CLI::App* diff = app.add_subcommand("diff", "compares two table files, offline");
    diff->add_option("FILES", request.files, "FILE1 FILE2")->required()->expected(2);
    CLI::App* list = app.add_subcommand("ports", "what COM1 to COM8 stand for, and the serial "
                                                 "devices found");
    CLI::App* map = app.add_subcommand("map", "maps COMn to DEVICE in your own, lasting map");
    map->add_option("COMn", request.com, "COM1 to COM8")->required();
    map->add_option("DEVICE", request.device, "such as /dev/ttyUSB0")->required();
    CLI::App* unmap = app.add_subcommand("unmap", "removes COMn from your own map");
    unmap->add_option("COMn", request.com, "COM1 to COM8")->required();

    Parsed parsed;
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
        parsed.text = std::string("keltrove-cli: ") + error.what() +
                      "\nTry 'keltrove-cli --help'.\n";
        return parsed;
    }
    const std::pair<CLI::App*, Command> commands[] = {
        {read, Command::Read},    {write, Command::Write}, {verify, Command::Verify},
        {diff, Command::Diff},    {list, Command::Ports},  {map, Command::Map},
        {unmap, Command::Unmap},
    };
    for (const auto& [subcommand, command] : commands) {
        if (subcommand->parsed()) request.command = command;
    }
    parsed.request = std::move(request);
    return parsed;
}

}  // namespace keltrove::cli
