// bench_app_startup: how fast the program's window comes up and what it costs at rest.
//
// Starts itself again as a child that runs the real application (CMainApp and the main
// dialog) and reports the moment of the dialog's first paint. Measures, from the parent:
//   - start-up: process spawn to the first paint, over several runs (CLOCK_MONOTONIC is
//     shared by both processes);
//   - resident memory of the running window (VmRSS, and the peak VmHWM);
//   - CPU time of all the child's threads over 10 s while the window sits idle with its
//     four timers running and no port open.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise (e.g. xcb under
// xvfb-run). Usage: bench_app_startup [runs]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QEvent>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "MainApp.h"
#include "MainDlg.h"

extern char** environ;

namespace {

constexpr std::chrono::seconds kIdle{10};
constexpr std::chrono::seconds kSettle{1};

std::int64_t MonotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// In the child: writes the time of the dialog's first paint to stdout, once.
class CFirstPaintProbe final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_bDone && event->type() == QEvent::Paint) {
            m_bDone = true;
            std::printf("%lld\n", static_cast<long long>(MonotonicNs()));
            std::fflush(stdout);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_bDone = false;
};

int RunChild(int argc, char** argv) {
    keltrove::CMainApp app(argc, argv);
    CFirstPaintProbe probe;
    return app.Run([&](keltrove::CMainDlg& dialog) { dialog.installEventFilter(&probe); });
}

struct Child {
    pid_t pid = -1;
    std::int64_t spawnedNs = 0;
    std::int64_t paintedNs = 0;
};

// Spawns the child and waits for its first paint; pid -1 on failure.
Child SpawnChild(const char* self) {
    int out[2];
    if (::pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char childFlag[] = "--child";
    char* args[] = {const_cast<char*>(self), childFlag, nullptr};
    Child child;
    child.spawnedNs = MonotonicNs();
    if (::posix_spawn(&child.pid, self, &actions, nullptr, args, environ) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char line[64] = {};
    const ssize_t n = child.pid == -1 ? -1 : ::read(out[0], line, sizeof line - 1);
    ::close(out[0]);
    if (n <= 0) return {};
    child.paintedNs = std::strtoll(line, nullptr, 10);
    return child;
}

void EndChild(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// CPU time of every thread of `pid`, in ns, from the scheduler's own accounting.
std::int64_t CpuNs(pid_t pid) {
    std::int64_t total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "schedstat");
        std::int64_t onCpu = 0;
        stat >> onCpu;
        total += onCpu;
    }
    return total;
}

long StatusKb(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    long value = 0;
    while (status >> name) {
        if (name == key + ":") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && std::string(argv[1]) == "--child") return RunChild(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string self = std::filesystem::canonical("/proc/self/exe");

    std::vector<double> startMs;
    for (int run = 0; run < runs; ++run) {
        const Child child = SpawnChild(self.c_str());
        if (child.pid == -1) {
            std::fprintf(stderr, "bench_app_startup: the child did not paint\n");
            return 1;
        }
        startMs.push_back(static_cast<double>(child.paintedNs - child.spawnedNs) / 1e6);
        EndChild(child.pid);
    }
    std::sort(startMs.begin(), startMs.end());
    std::printf("platform %s, %d runs\n", std::getenv("QT_QPA_PLATFORM"), runs);
    std::printf("start to first paint: median %.1f ms, min %.1f ms, max %.1f ms\n",
                startMs[startMs.size() / 2], startMs.front(), startMs.back());

    const Child child = SpawnChild(self.c_str());
    if (child.pid == -1) return 1;
    std::this_thread::sleep_for(kSettle);
    const std::int64_t cpuBefore = CpuNs(child.pid);
    std::this_thread::sleep_for(kIdle);
    const std::int64_t cpuAfter = CpuNs(child.pid);
    std::printf("resident memory: %ld KiB (peak %ld KiB)\n", StatusKb(child.pid, "VmRSS"),
                StatusKb(child.pid, "VmHWM"));
    const double cpuMs = static_cast<double>(cpuAfter - cpuBefore) / 1e6;
    std::printf("CPU over %lld s idle: %.1f ms (%.2f %% of one core)\n",
                static_cast<long long>(kIdle.count()), cpuMs,
                100.0 * cpuMs / (1000.0 * static_cast<double>(kIdle.count())));
    EndChild(child.pid);
    return 0;
}
