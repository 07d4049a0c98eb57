// The serial link on either platform against the simulator in --burst mode: how soon the
// first bytes of the answer reach OnRxNotify after the read request has been written, how
// much CPU the process uses while the open port is idle, and how long Close takes. The
// same program for Linux and, cross-built, for Windows (run under Wine by
// scripts/bench-windows), so that the two watchers are compared on one machine.
//
//   bench_serial_round_trip PORT [ROUNDS]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include "Frame.h"
#include "LinkEvents.h"
#include "SerialLink.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

std::chrono::microseconds ProcessCpu() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
#else
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
#endif
}

class CFirstNotify final : public keltrove::ILinkEvents {
public:
    void Arm() {
        std::lock_guard lock(m_Mutex);
        m_bSeen = false;
    }
    // When the first notification since Arm came; the epoch when none came in time.
    Clock::time_point Wait() {
        std::unique_lock lock(m_Mutex);
        m_Changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_bSeen; });
        return m_bSeen ? m_At : Clock::time_point{};
    }
    void OnRxNotify(std::uint16_t) override {
        const auto now = Clock::now();
        std::lock_guard lock(m_Mutex);
        if (!m_bSeen) m_At = now;
        m_bSeen = true;
        m_Changed.notify_all();
    }
    void OnQueueFull(std::uint16_t, std::uint32_t) override {}
    void OnLinkLost(std::uint16_t, std::string) override {}

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_bSeen = false;
    Clock::time_point m_At;
};

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_serial_round_trip PORT [ROUNDS]\n");
        return 2;
    }
    const std::string port = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 300;
    CFirstNotify events;
    keltrove::CSerialLink link(&events);
    if (link.Open(port, keltrove::kLineBaud, 1) != 1) {
        std::fprintf(stderr, "%s\n", link.LastError().c_str());
        return 3;
    }
    keltrove::Frame request = keltrove::kInitialFrame;
    keltrove::SetCommandFrame(request, keltrove::Command::ReadRequest);
    std::vector<double> latencies;
    std::vector<std::uint8_t> answer(4096);
    for (int round = 0; round < rounds; ++round) {
        events.Arm();
        const auto sent = Clock::now();
        link.Write(request.data(), keltrove::kFrameSize);
        const auto first = events.Wait();
        if (first == Clock::time_point{}) {
            std::fprintf(stderr, "%s: no answer in round %d\n", port.c_str(), round);
            return 4;
        }
        latencies.push_back(Micros(first - sent).count());
        // The whole answer, before the next request.
        std::size_t got = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (got < 32 * keltrove::kFrameSize && Clock::now() < deadline) {
            got += link.TakeReceived(answer.data(), answer.size());
            if (got < 32 * keltrove::kFrameSize) {
                events.Arm();
                events.Wait();
            }
        }
    }
    double mean = 0;
    for (const double value : latencies) mean += value;
    mean /= static_cast<double>(latencies.size());

    const auto cpuBefore = ProcessCpu();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const auto idleCpu = ProcessCpu() - cpuBefore;

    const auto closeStart = Clock::now();
    link.Close();
    const double closeMicros = Micros(Clock::now() - closeStart).count();

    std::printf("%s, %d rounds: write to first notification median %.0f us, p99 %.0f us, "
                "mean %.0f us; CPU over 5 s idle with the port open %.1f ms; Close %.0f us\n",
                port.c_str(), rounds, Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                mean, static_cast<double>(idleCpu.count()) / 1000.0, closeMicros);
    return 0;
}
