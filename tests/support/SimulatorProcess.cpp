#include "SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace keltrove::test {

namespace {

// True when `fd` turns readable within `timeoutMs`.
bool Readable(int fd, int timeoutMs) {
    pollfd pfd{fd, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&pfd, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

}  // namespace

CChildProcess::CChildProcess(std::vector<std::string> options, std::string logPath)
    : m_strLogPath(std::move(logPath)) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    m_Stdout.Reset(out[0]);
    const UniqueFd writeEnd(out[1]);
    std::vector<char*> argv;
    for (std::string& arg : options) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    m_Pid = ::fork();
    if (m_Pid < 0) throw std::runtime_error("fork failed");
    if (m_Pid == 0) {
        // Only async-signal-safe calls from here on: the parent has other threads. The
        // device dies with this process, also when that ends without its destructors.
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int log =
            ::open(m_strLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || log < 0 || ::dup2(in, STDIN_FILENO) < 0 ||
            ::dup2(writeEnd.Get(), STDOUT_FILENO) < 0 || ::dup2(log, STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), environ);  // this environment: the same port directory
        ::_exit(127);
    }
    // Lets Stop wait for the exit with a guard. (Through syscall: Debian 12's <sys/pidfd.h>
    // declares pidfd_open without C linkage.)
    m_PidFd.Reset(static_cast<int>(::syscall(SYS_pidfd_open, m_Pid, 0)));
}

CChildProcess::~CChildProcess() {
    Stop();
}

CSimulatorProcess::CSimulatorProcess(std::vector<std::string> options, std::string logPath)
    : CChildProcess(
          [&] {
              options.insert(options.begin(), KELTROVE_DEVICE_BINARY);
              return std::move(options);
          }(),
          std::move(logPath)) {}

std::string CSimulatorProcess::WaitPlugged() {
    const std::string line = WaitAnnounced(" -> ");
    const auto arrow = line.find(" -> ");
    return arrow == std::string::npos ? std::string() : line.substr(arrow + 4);
}

std::string CChildProcess::WaitAnnounced(std::string_view text) {
    for (;;) {
        if (const auto end = m_strBuffered.find('\n'); end != std::string::npos) {
            std::string line = m_strBuffered.substr(0, end);
            m_strBuffered.erase(0, end + 1);
            if (line.find(text) != std::string::npos) return line;
            continue;
        }
        char chunk[256];
        ssize_t got = -1;
        if (m_Stdout.IsValid() && Readable(m_Stdout.Get(), kGuardMs)) {
            got = ::read(m_Stdout.Get(), chunk, sizeof chunk);
        }
        if (got <= 0) return {};  // the guard ran out, or the child has ended
        m_strBuffered.append(chunk, static_cast<std::size_t>(got));
    }
}

int CChildProcess::Stop() {
    if (m_Pid <= 0) return -1;
    ::kill(m_Pid, SIGTERM);
    const bool ended = !m_PidFd.IsValid() || Readable(m_PidFd.Get(), kGuardMs);
    if (!ended) ::kill(m_Pid, SIGKILL);
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(m_Pid, &status, 0)) < 0 && errno == EINTR) {
    }
    const pid_t pid = std::exchange(m_Pid, -1);
    m_PidFd.Reset();
    m_Stdout.Reset();
    if (!ended || reaped != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string CChildProcess::Log() const {
    return FileText(m_strLogPath);
}

}  // namespace keltrove::test
