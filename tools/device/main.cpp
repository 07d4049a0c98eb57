// keltrove-device: the DERID panel device, simulated on a pseudo-terminal. See --help.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "ControlFifo.h"
#include "DeviceServer.h"
#include "DeviceTable.h"
#include "Options.h"
#include "PanelBench.h"
#include "PanelSources.h"
#include "StderrLog.h"
#include "TableFiles.h"

using namespace keltrove::device;

namespace {

constexpr int kExitStopped = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "keltrove-device: %s\nTry 'keltrove-device --help'.\n", message.c_str());
    return kExitUsage;
}

// A descriptor 0, 1 or 2 that was closed when we started would be handed to the next open,
// and the log would go into the lock file or onto the line. Point them at /dev/null first.
void OpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd && null >= 0) ::close(null);  // cannot happen: the lowest is taken
    }
}

std::uint32_t Seed(const DeviceOptions& options, ILineLog& log) {
    const std::uint32_t seed = options.seed ? *options.seed : std::random_device{}();
    const ShapeOptions& shape = options.session.shape;
    if (shape.mode == AnswerMode::Split || shape.noise) {
        log.Line("-- random seed " + std::to_string(seed) + " (--seed repeats it)");
    }
    return seed;
}

void Announce(ILineLog& log, const std::string& line) {
    // Standard output carries only these lines, so scripts can wait for them.
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    log.Line("-- " + line);
}

int Serve(const DeviceOptions& options, const PanelSource& first, std::vector<ListedPanel> list) {
    keltrove::CStopSignals stop;  // from here on, Ctrl+C ends the loop and the entry is removed
    if (!stop.Error().empty()) throw std::runtime_error(stop.Error());
    std::signal(SIGPIPE, SIG_IGN);  // a closed stdout must not kill us before the cleanup
    CStderrLog log;
    std::mt19937 random(Seed(options, log));
    CDeviceSession session(first.table, options.session, random, log);
    CPortEntry entry(options.portDir, options.portName);
    const auto announce = [&log](const std::string& line) { Announce(log, line); };
    CDeviceServer server(session, entry, stop, announce, options.replug);
    std::optional<CControlFifo> control;
    if (options.controlFifo) control.emplace(*options.controlFifo);
    std::optional<CPanelBench> bench;
    if (options.panelsFile || control) {
        bench.emplace(session, log, announce, first);
        server.UseBench(*bench, std::move(list), control ? &*control : nullptr);
    }
    const std::string signal = server.Run();
    log.Line("-- stopped by " + signal + "; " + entry.LinkPath() + " removed");
    return kExitStopped;
}

// "what: problem" for each problem, one a line.
int CannotUse(const std::string& what, const std::vector<std::string>& problems) {
    std::string text = what + " cannot be used:";
    for (const std::string& problem : problems) text += "\n" + problem;
    return UsageError(text);
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    const CommandLine line = ParseCommandLine(argc, argv);
    if (line.kind == CommandLine::Kind::Help) {
        std::fputs(line.text.c_str(), stdout);
        return kExitStopped;
    }
    if (line.kind == CommandLine::Kind::Error) return UsageError(line.text);
    PanelSource first{"default", DefaultTable()};
    if (line.options.tableFile) {
        const keltrove::TableLoad load = keltrove::LoadTable(*line.options.tableFile);
        if (!load.table) return CannotUse("the table file", load.problems);
        first = {*line.options.tableFile, StoredTable(*load.table)};
    }
    PanelListLoad list;
    if (line.options.panelsFile) {
        list = LoadPanelList(*line.options.panelsFile);
        if (!list.problems.empty()) return CannotUse("the panel list", list.problems);
    }
    try {
        return Serve(line.options, first, std::move(list.panels));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "keltrove-device: %s\n", error.what());
        return kExitFailed;
    }
}
