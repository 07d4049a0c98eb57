#include "SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "DialogHarness.h"

extern char** environ;

namespace keltrove::test {

namespace {

constexpr std::string_view kArrow = " -> ";

int PollIn(int fd, int timeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready;
}

}  // namespace

CSimulatorProcess::CSimulatorProcess(std::vector<std::string> options, std::string logPath)
    : m_strLogPath(std::move(logPath)) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    m_Stdout.Reset(out[0]);
    const UniqueFd writeEnd(out[1]);
    std::vector<std::string> args{KELTROVE_DEVICE_BINARY};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    m_Pid = ::fork();
    if (m_Pid < 0) throw std::runtime_error("fork failed");
    if (m_Pid == 0) {
        // Only async-signal-safe calls from here on: the parent has other threads.
        // A test that dies without its destructors (an abort, a sanitizer halt) still takes
        // the device with it, so no stray device keeps a port directory busy.
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int log =
            ::open(m_strLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || log < 0 || ::dup2(in, STDIN_FILENO) < 0 ||
            ::dup2(writeEnd.Get(), STDOUT_FILENO) < 0 || ::dup2(log, STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        // The environment as it is, so the device finds the same port directory.
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    // Lets Stop wait for the exit with a guard; without it, Stop waits without one.
    // (Through syscall: Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage.)
    m_PidFd.Reset(static_cast<int>(::syscall(SYS_pidfd_open, m_Pid, 0)));
}

CSimulatorProcess::~CSimulatorProcess() {
    Stop();
}

std::string CSimulatorProcess::WaitPlugged() {
    for (;;) {
        if (const auto end = m_strBuffered.find('\n'); end != std::string::npos) {
            const std::string line = m_strBuffered.substr(0, end);
            m_strBuffered.erase(0, end + 1);
            const auto arrow = line.find(kArrow);
            if (arrow == std::string::npos) continue;  // not an announcement
            m_Ptys.push_back(line.substr(arrow + kArrow.size()));
            return m_Ptys.back();
        }
        if (!m_Stdout.IsValid() || PollIn(m_Stdout.Get(), kGuardMs) <= 0) return {};
        char chunk[256];
        ssize_t got = 0;
        do {
            got = ::read(m_Stdout.Get(), chunk, sizeof chunk);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {  // the child has ended
            m_Stdout.Reset();
            return {};
        }
        m_strBuffered.append(chunk, static_cast<std::size_t>(got));
    }
}

int CSimulatorProcess::Stop() {
    if (m_Pid <= 0) return -1;
    ::kill(m_Pid, SIGTERM);
    int exitCode = -1;
    if (!Reap(kGuardMs, exitCode)) {
        ::kill(m_Pid, SIGKILL);
        Reap(-1, exitCode);
        exitCode = -1;
    }
    m_Pid = -1;
    m_PidFd.Reset();
    m_Stdout.Reset();
    return exitCode;
}

bool CSimulatorProcess::Reap(int guardMs, int& exitCode) {
    if (guardMs >= 0 && m_PidFd.IsValid() && PollIn(m_PidFd.Get(), guardMs) <= 0) return false;
    int status = 0;
    pid_t reaped = 0;
    do {
        reaped = ::waitpid(m_Pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped != m_Pid) return true;  // not our child any more; nothing left to wait for
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

std::string CSimulatorProcess::Log() const {
    std::ostringstream text;
    text << std::ifstream(m_strLogPath).rdbuf();
    return text.str();
}

}  // namespace keltrove::test
