// bench_network_read: a read through a serial device server against a direct read.
//
// Starts three simulators, COM1 read straight through its pty and COM2 and COM3 behind
// ser2net on the loopback (RFC 2217 and raw TCP), then times the whole `keltrove-cli read`
// process for each, in turns, and prints each one's median and its ratio to the direct
// read's. The panel's pacing takes most of a read, so the ratio should stay near 1.
// Usage: bench_network_read [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "Ser2Net.h"
#include "SimulatorProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    char pattern[] = "/tmp/bench_network_read.XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    for (const char* sub : {"ports", "locks"}) fs::create_directory(dir / sub);
    fs::permissions(dir / "ports", fs::perms::owner_all);
    ::setenv("KELTROVE_PORT_DIR", (dir / "ports").c_str(), 1);
    ::setenv("KELTROVE_LOCK_DIR", (dir / "locks").c_str(), 1);

    std::vector<std::unique_ptr<keltrove::test::CSimulatorProcess>> devices;
    for (const char* com : {"COM1", "COM2", "COM3"}) {
        devices.push_back(std::make_unique<keltrove::test::CSimulatorProcess>(
            std::vector<std::string>{"--as", com}, (dir / com).string() + ".log"));
        if (devices.back()->WaitPlugged().empty()) return 1;
    }
    keltrove::test::CSer2Net server((dir / "ports/COM2").string(), (dir / "ports/COM3").string(),
                                    dir.string());
    const std::vector<std::pair<const char*, std::string>> ports{
        {"direct (pty)", "COM1"}, {"RFC 2217", server.Rfc2217()}, {"raw TCP", server.Raw()}};

    std::vector<std::vector<double>> times(ports.size());
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const Clock::time_point start = Clock::now();
            const keltrove::test::Outcome read = keltrove::test::RunProgram(
                {KELTROVE_CLI_BINARY, "read", "-p", ports[i].second}, dir.string());
            if (read.code != 0) {
                std::fprintf(stderr, "bench_network_read: %s: %s", ports[i].first,
                             read.err.c_str());
                return 1;
            }
            times[i].push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }
    std::printf("keltrove-cli read, whole process, %d runs each, in turns\n", runs);
    const double direct = Median(times[0]);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto [low, high] = std::minmax_element(times[i].begin(), times[i].end());
        std::printf("%-13s median %.1f ms (min %.1f, max %.1f), ratio to direct %.3f\n",
                    ports[i].first, Median(times[i]), *low, *high, Median(times[i]) / direct);
    }
    server.Stop();
    for (auto& device : devices) device->Stop();
    fs::remove_all(dir);
    return 0;
}
