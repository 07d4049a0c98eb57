// keltrove-device: the DERID panel device, simulated on a pseudo-terminal. See --help.
#include <csignal>
#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

#include "DeviceServer.h"
#include "DeviceTable.h"
#include "Options.h"
#include "PortNames.h"
#include "StderrLog.h"

using namespace keltrove::device;

namespace {

constexpr int kExitStopped = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "keltrove-device: %s\nTry 'keltrove-device --help'.\n", message.c_str());
    return kExitUsage;
}

std::uint32_t Seed(const DeviceOptions& options, ILineLog& log) {
    const std::uint32_t seed = options.seed ? *options.seed : std::random_device{}();
    const ShapeOptions& shape = options.session.shape;
    if (shape.mode == AnswerMode::Split || shape.noise) {
        log.Line("-- random seed " + std::to_string(seed) + " (--seed repeats it)");
    }
    return seed;
}

void Announce(ILineLog& log, const std::string& link, const std::string& pty) {
    // Standard output carries only these lines, so scripts can wait for them.
    std::printf("%s -> %s\n", link.c_str(), pty.c_str());
    std::fflush(stdout);
    log.Line("-- serving " + link + " -> " + pty);
}

int Serve(const DeviceOptions& options, const DeviceTable& table) {
    CStopSignals stop;              // from here on, Ctrl+C ends the loop and the entry is removed
    std::signal(SIGPIPE, SIG_IGN);  // a closed stdout must not kill us before the cleanup
    CStderrLog log;
    std::mt19937 random(Seed(options, log));
    CDeviceSession session(table, options.session, random, log);
    CPortEntry entry(keltrove::PortDirectory(), options.portName);
    CDeviceServer server(
        session, entry, stop,
        [&log](const std::string& link, const std::string& pty) { Announce(log, link, pty); });
    const std::string signal = server.Run();
    log.Line("-- stopped by " + signal + "; " + entry.LinkPath() + " removed");
    return kExitStopped;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const CommandLine line = ParseCommandLine(args);
    if (line.kind == CommandLine::Kind::Help) {
        std::fputs(UsageText().c_str(), stdout);
        return kExitStopped;
    }
    if (line.kind == CommandLine::Kind::Error) return UsageError(line.error);
    DeviceTable table = DefaultTable();
    if (line.options.tableFile) {
        const TableParse parsed = LoadTableFile(*line.options.tableFile);
        if (!parsed.table)
            return UsageError(FormatTableError(*line.options.tableFile, parsed.error));
        table = *parsed.table;
    }
    try {
        return Serve(line.options, table);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "keltrove-device: %s\n", error.what());
        return kExitFailed;
    }
}
