// bench_app_startup: how fast the program's window comes up and what it costs at rest.
//
// Starts itself again as a child that runs the real application (CMainApp and the main
// dialog) and reports the moment of the dialog's first paint. Measures, from the parent:
//   - start-up: process spawn to the first paint, over several runs (CLOCK_MONOTONIC is
//     shared by both processes);
//   - resident memory of the running window (VmRSS, and the peak VmHWM);
//   - CPU time of all the child's threads over 10 s while the window sits idle, once with
//     no port open and once with COM1 open on a pseudo-terminal that stays silent.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise (e.g. xcb under
// xvfb-run). Usage: bench_app_startup [runs]
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QComboBox>
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

#include "DialogTemplate.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "TemplateControl.h"

extern char** environ;

namespace {

constexpr std::chrono::seconds kIdle{10};
// Past the text cursor's blink, which stops 10 s after the last input.
constexpr std::chrono::seconds kSettle{11};

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

// `--child` runs the window; `--child-open` also chooses COM1 in it.
int RunChild(char** argv) {
    const bool open = std::string(argv[1]) == "--child-open";
    int appArgc = 1;  // the window takes no --child option
    keltrove::CMainApp app(appArgc, argv);
    CFirstPaintProbe probe;
    return app.Run([&](keltrove::CMainDlg& dialog) {
        dialog.installEventFilter(&probe);
        if (!open) return;
        auto* ports = dialog.findChild<QComboBox*>(keltrove::ControlObjectName(IDC_PORT_LIST));
        ports->setCurrentIndex(1);
        emit ports->activated(1);
    });
}

struct Child {
    pid_t pid = -1;
    std::int64_t spawnedNs = 0;
    std::int64_t paintedNs = 0;
};

// Spawns the child and waits for its first paint; pid -1 on failure.
Child SpawnChild(const char* self, bool openPort = false) {
    int out[2];
    if (::pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char childFlag[] = "--child";
    char childOpenFlag[] = "--child-open";
    char* args[] = {const_cast<char*>(self), openPort ? childOpenFlag : childFlag, nullptr};
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

// Idle CPU of a fresh window over kIdle, in % of one core; negative on failure.
double IdleCpuPercent(const char* self, bool openPort) {
    const Child child = SpawnChild(self, openPort);
    if (child.pid == -1) return -1;
    std::this_thread::sleep_for(kSettle);
    const std::int64_t cpuBefore = CpuNs(child.pid);
    std::this_thread::sleep_for(kIdle);
    const std::int64_t cpuAfter = CpuNs(child.pid);
    if (!openPort) {
        std::printf("resident memory: %ld KiB (peak %ld KiB)\n", StatusKb(child.pid, "VmRSS"),
                    StatusKb(child.pid, "VmHWM"));
    }
    EndChild(child.pid);
    const double cpuMs = static_cast<double>(cpuAfter - cpuBefore) / 1e6;
    return 100.0 * cpuMs / (1000.0 * static_cast<double>(kIdle.count()));
}

// COM1 as a silent pseudo-terminal, in a port directory of the benchmark's own.
struct SilentPort {
    int master = -1;
    int slave = -1;
    std::filesystem::path dir;

    SilentPort() {
        char name[64] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        char pattern[] = "/tmp/bench_app_startup.XXXXXX";
        dir = ::mkdtemp(pattern);
        std::filesystem::create_symlink(name, dir / "COM1");
        ::setenv("KELTROVE_PORT_DIR", dir.c_str(), 1);
    }
    ~SilentPort() {
        std::filesystem::remove_all(dir);
        ::close(master);
        ::close(slave);
    }
};

int main(int argc, char* argv[]) {
    if (argc > 1 && std::string(argv[1]).starts_with("--child")) return RunChild(argv);
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

    const double closed = IdleCpuPercent(self.c_str(), false);
    const SilentPort port;
    const double open = IdleCpuPercent(self.c_str(), true);
    if (closed < 0 || open < 0) return 1;
    std::printf("CPU over %lld s idle: %.3f %% of one core with no port, %.3f %% with COM1 open\n",
                static_cast<long long>(kIdle.count()), closed, open);
    return 0;
}
