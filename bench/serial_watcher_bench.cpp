// The port watcher on a pseudo-terminal: how soon a byte written at the far end reaches
// OnRxNotify, how long Close takes to end a sleeping watcher, and how much CPU the watcher
// uses while nothing arrives.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "SerialLink.h"

namespace {

using Clock = std::chrono::steady_clock;

// The far end and the path of a pseudo-terminal; the link opens the path.
struct Pty {
    Pty() {
        char name[64] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
    }
    ~Pty() {
        if (master >= 0) ::close(master);
        if (slave >= 0) ::close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

// Records when each notification came, on the watcher's thread.
class TimedEvents final : public keltrove::ILinkEvents {
public:
    void OnRxNotify(std::uint16_t) override {
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard lock(m_Mutex);
            m_Last = now;
            ++m_nNotifies;
        }
        m_Changed.notify_one();
    }
    void OnQueueFull(std::uint16_t, std::uint32_t) override {}
    void OnLinkLost(std::uint16_t, std::string) override {}

    // The time of the notification that follows the first `seen` ones.
    Clock::time_point WaitForNotify(long seen) {
        std::unique_lock lock(m_Mutex);
        m_Changed.wait(lock, [&] { return m_nNotifies > seen; });
        return m_Last;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    Clock::time_point m_Last;
    long m_nNotifies = 0;
};

std::set<pid_t> Threads() {
    std::set<pid_t> tids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') tids.insert(std::stoi(entry->d_name));
        }
        ::closedir(dir);
    }
    return tids;
}

// CPU time of a thread of this process, from its tid. The clock ID is the kernel's encoding
// of a per-thread CPU clock, the one glibc's pthread_getcpuclockid builds.
double ThreadCpuMicroseconds(pid_t tid) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
    timespec used{};
    if (::clock_gettime(clock, &used) != 0) return -1;
    return static_cast<double>(used.tv_sec) * 1e6 + static_cast<double>(used.tv_nsec) / 1e3;
}

// Voluntary plus involuntary context switches of a thread: every wake-up is one.
long ContextSwitches(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    long total = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.find("ctxt_switches:") != std::string::npos) {
            total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

void BM_WakeLatency(benchmark::State& state) {
    Pty pty;
    TimedEvents events;
    keltrove::CSerialLink link(&events);
    if (link.Open(pty.path, 9600, 1) != 1) {
        state.SkipWithError(link.LastError().c_str());
        return;
    }
    std::vector<double> latencies;
    long seen = 0;
    std::uint8_t byte = 0x55;
    for (auto _ : state) {
        const Clock::time_point written = Clock::now();
        if (::write(pty.master, &byte, 1) != 1) {
            state.SkipWithError("write to the pty failed");
            break;
        }
        const Clock::time_point notified = events.WaitForNotify(seen++);
        const std::chrono::duration<double, std::micro> latency = notified - written;
        state.SetIterationTime(latency.count() / 1e6);
        latencies.push_back(latency.count());
        link.TakeReceived(&byte, 1);
    }
    if (latencies.empty()) return;
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
}
BENCHMARK(BM_WakeLatency)->UseManualTime()->Iterations(20000)->Unit(benchmark::kMicrosecond);

// Close of a port whose watcher sleeps: wake it, join it, restore the settings, close.
void BM_CloseSleepingWatcher(benchmark::State& state) {
    Pty pty;
    keltrove::CSerialLink link;
    for (auto _ : state) {
        if (link.Open(pty.path, 9600, 1) != 1) {
            state.SkipWithError(link.LastError().c_str());
            break;
        }
        const Clock::time_point start = Clock::now();
        link.Close();
        const std::chrono::duration<double> took = Clock::now() - start;
        state.SetIterationTime(took.count());
    }
}
BENCHMARK(BM_CloseSleepingWatcher)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

void BM_IdleWatcherCpu(benchmark::State& state) {
    Pty pty;
    TimedEvents events;
    keltrove::CSerialLink link(&events);
    const std::set<pid_t> before = Threads();
    if (link.Open(pty.path, 9600, 1) != 1) {
        state.SkipWithError(link.LastError().c_str());
        return;
    }
    std::vector<pid_t> started;
    for (const pid_t tid : Threads()) {
        if (before.count(tid) == 0) started.push_back(tid);
    }
    if (started.size() != 1) {
        state.SkipWithError("cannot tell the watcher's thread");
        return;
    }
    const pid_t watcher = started.front();
    double cpu = 0;
    long wakeups = 0;
    for (auto _ : state) {
        const double cpuBefore = ThreadCpuMicroseconds(watcher);
        const long switchesBefore = ContextSwitches(watcher);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        cpu = ThreadCpuMicroseconds(watcher) - cpuBefore;
        wakeups = ContextSwitches(watcher) - switchesBefore;
    }
    state.counters["idle_s"] = 10;
    state.counters["watcher_cpu_us"] = cpu;
    state.counters["watcher_wakeups"] = static_cast<double>(wakeups);
}
BENCHMARK(BM_IdleWatcherCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
