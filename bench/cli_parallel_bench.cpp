// bench_cli_parallel: keltrove-cli writing one table to 1, 2, 4 and 8 panels at once.
//
// Starts 8 simulators as COM1 to COM8 in a port directory of its own, then times the whole
// `keltrove-cli write -p COM1 ... FILE` process, with the write's real pauses, for each
// number of ports, several runs each, and prints the median and its ratio to one port's.
// The ports are served side by side, so the ratio should stay near 1.
// Usage: bench_cli_parallel [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "DeviceTable.h"
#include "ProgramRun.h"
#include "SimulatorProcess.h"
#include "TableFile.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Seconds that `args` took to run; negative when it failed. Its output goes to files in `dir`.
double TimeRun(std::vector<std::string> args, const fs::path& dir) {
    const Clock::time_point start = Clock::now();
    const keltrove::test::Outcome run = keltrove::test::RunProgram(std::move(args), dir.string());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run.code == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char pattern[] = "/tmp/bench_cli_parallel.XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    for (const char* sub : {"ports", "locks", "config"}) fs::create_directory(dir / sub);
    fs::permissions(dir / "ports", fs::perms::owner_all);
    ::setenv("KELTROVE_PORT_DIR", (dir / "ports").c_str(), 1);
    ::setenv("KELTROVE_LOCK_DIR", (dir / "locks").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

    const std::string file = (dir / "table.txt").string();
    std::ofstream(file) << keltrove::FormatTableFile(keltrove::device::DefaultTableTexts());

    std::vector<std::unique_ptr<keltrove::test::CSimulatorProcess>> devices;
    for (int com = 1; com <= 8; ++com) {
        const std::string name = "COM" + std::to_string(com);
        devices.push_back(std::make_unique<keltrove::test::CSimulatorProcess>(
            std::vector<std::string>{"--as", name}, (dir / (name + ".log")).string()));
        if (devices.back()->WaitPlugged().empty()) return 1;
    }

    std::printf("keltrove-cli write, real pauses, %d runs each\n", runs);
    double single = 0;
    for (const int ports : {1, 2, 4, 8}) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            std::vector<std::string> args{KELTROVE_CLI_BINARY, "write", "--no-verify"};
            for (int com = 1; com <= ports; ++com) {
                args.insert(args.end(), {"-p", "COM" + std::to_string(com)});
            }
            args.push_back(file);
            const double seconds = TimeRun(args, dir);
            if (seconds < 0) {
                std::fprintf(stderr, "bench_cli_parallel: the write to %d ports failed\n", ports);
                return 1;
            }
            times.push_back(seconds);
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        if (ports == 1) single = median;
        std::printf("%d port%s: median %.3f s (min %.3f, max %.3f), ratio to one port %.3f\n",
                    ports, ports == 1 ? " " : "s", median, times.front(), times.back(),
                    median / single);
    }
    for (auto& device : devices) device->Stop();
    fs::remove_all(dir);
    return 0;
}
