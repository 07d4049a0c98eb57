// An adapter that comes and goes 50 times in 10 s, under the real window (offscreen) against
// the real keltrove-device as COM1, driven through its control FIFO: how soon the window
// opens the port again once it is back (the device's announcement to "COM1 is back"), how
// many boxes were ever open at once (each box here is read for 30 ms, in its own loop, as a
// user's would be), what the storm leaves behind (descriptors, threads, lock files), the
// CPU in the 2 s after it, and whether the port is open at the end.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "DialogHarness.h"
#include "SystemError.h"

using namespace keltrove;
using namespace keltrove::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kCycles = 50;
constexpr auto kHalfCycle = std::chrono::milliseconds(100);

int Entries(const char* directory) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(directory),
                                          std::filesystem::directory_iterator()));
}

double CpuSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string skip;
    for (int index = 3; index < 14; ++index) fields >> skip;
    long long user = 0;
    long long system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Each box is open for 30 ms in a loop of its own; the deepest nesting is kept.
class CReadingUser final : public IDialogAnswers {
public:
    MessageAnswer Ask(const PanelBox&) override {
        m_nDeepest = std::max(m_nDeepest, ++m_nOpen);
        ++m_nBoxes;
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        --m_nOpen;
        return MessageAnswer::Ok;
    }
    std::optional<std::string> ChooseFile(FileChoice) override { return std::nullopt; }

    int m_nOpen = 0;
    int m_nDeepest = 0;
    int m_nBoxes = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    CPortDir portDir;
    const std::string fifo = portDir.File("control").string();
    CSimulatorProcess device({"--as", "COM1", "--control", fifo},
                             portDir.File("device.log").string());
    if (device.WaitPlugged().empty()) return 1;
    CNoPause noPause;
    CReadingUser user;
    CMainDlg dialog(&noPause, &user);
    dialog.show();
    ChoosePort(dialog, 1);
    if (!dialog.Presenter().Comm().IsOpen()) return 1;
    QEventLoop warm;  // what the toolkit starts on its own has started
    QTimer::singleShot(1000, &warm, &QEventLoop::quit);
    warm.exec();
    const int descriptors = Entries("/proc/self/fd");
    const int threads = Entries("/proc/self/task");

    std::mutex mutex;
    std::vector<Clock::time_point> plugged;  // when each new line was announced
    std::vector<Clock::time_point> back;     // when the window had the port open again
    std::atomic<bool> done{false};
    std::thread storm([&] {
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            std::ofstream(fifo) << "unplug\n";
            device.WaitAnnounced("unplugged");
            std::this_thread::sleep_for(kHalfCycle);
            std::ofstream(fifo) << "plug\n";
            if (device.WaitPlugged().empty()) break;
            {
                const std::lock_guard lock(mutex);
                plugged.push_back(Clock::now());
            }
            std::this_thread::sleep_for(kHalfCycle);
        }
        done = true;
    });
    const Clock::time_point start = Clock::now();
    bool awaited = false;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (awaited && !dialog.Presenter().IsAwaitingPort()) back.push_back(Clock::now());
        awaited = dialog.Presenter().IsAwaitingPort();
    }
    storm.join();
    const double stormSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    QEventLoop settle;  // the last line comes back, and the watch ends
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    const double cpuBefore = CpuSeconds();
    QTimer::singleShot(2000, &settle, &QEventLoop::quit);
    settle.exec();
    const double idleCpu = CpuSeconds() - cpuBefore;

    std::vector<double> latencies;
    for (std::size_t i = 0; i < std::min(plugged.size(), back.size()); ++i) {
        latencies.push_back(std::chrono::duration<double, std::milli>(back[i] - plugged[i]).count());
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double share) {
        return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(share * (latencies.size() - 1))];
    };
    std::printf("storm: %d cycles in %.1f s; the port opened again %zu times\n", kCycles,
                stormSeconds, back.size());
    std::printf("  device back to the port open again (inotify): median %.0f ms, max %.0f ms "
                "(target: under 200 ms)\n",
                at(0.5), at(1.0));
    std::printf("  boxes: %d, at most %d open at once\n", user.m_nBoxes, user.m_nDeepest);
    std::printf("  left behind: %+d descriptors, %+d threads, %d lock files (1: the open port)\n",
                Entries("/proc/self/fd") - descriptors, Entries("/proc/self/task") - threads,
                portDir.LockFiles());
    std::printf("  CPU in the 2 s after it: %.1f %% of a core (target: under 5 %%); port open at "
                "the end: %s\n",
                100.0 * idleCpu / 2.0, dialog.Presenter().Comm().IsOpen() ? "yes" : "no");
    return 0;
}
