#include "ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "TestIo.h"

extern char** environ;

namespace keltrove::test {

namespace {

std::chrono::microseconds CpuOf(const timeval& user, const timeval& system) {
    return std::chrono::seconds(user.tv_sec + system.tv_sec) +
           std::chrono::microseconds(user.tv_usec + system.tv_usec);
}

}  // namespace

CProgramRun::CProgramRun(std::vector<std::string> argv, const std::string& dir,
                         const std::vector<std::string>& extraEnv, int passFd)
    : m_strOut(dir + "/out"), m_strErr(dir + "/err") {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    std::vector<std::string> env(extraEnv);
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, m_strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, 3);  // clears CLOEXEC
    const int failed = ::posix_spawnp(&m_Pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
}

CProgramRun::~CProgramRun() {
    if (m_Pid <= 0 || Ended()) return;
    ::kill(m_Pid, SIGTERM);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Ended()) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool CProgramRun::Ended() {
    if (!m_bEnded && ::wait4(m_Pid, &m_nStatus, WNOHANG, &m_Usage) == m_Pid) m_bEnded = true;
    return m_bEnded;
}

long CProgramRun::ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(m_Pid) + "/status");
    for (std::string key; status >> key;) {
        long value = 0;
        if (key == "VmRSS:" && status >> value) return value;
    }
    return -1;
}

std::chrono::microseconds CProgramRun::CpuSoFar() const {
    // Fields 14 and 15 of /proc/<pid>/stat, the 12th and 13th after the parenthesised name.
    const std::string stat = FileText("/proc/" + std::to_string(m_Pid) + "/stat");
    const auto name = stat.rfind(')');
    if (name == std::string::npos) return {};
    std::istringstream fields(stat.substr(name + 2));
    const std::vector<std::string> after{std::istream_iterator<std::string>(fields), {}};
    if (after.size() < 13) return {};
    const long long ticks = std::stoll(after[11]) + std::stoll(after[12]);
    return std::chrono::microseconds(ticks * 1000000 / ::sysconf(_SC_CLK_TCK));
}

Outcome CProgramRun::Finish() {
    Outcome run;
    if (!m_bEnded && ::wait4(m_Pid, &m_nStatus, 0, &m_Usage) == m_Pid) m_bEnded = true;
    if (m_bEnded) {
        run.code = WIFEXITED(m_nStatus) ? WEXITSTATUS(m_nStatus) : -1;
        run.cpu = CpuOf(m_Usage.ru_utime, m_Usage.ru_stime);  // with the children it reaped
    }
    m_Pid = -1;
    run.out = FileText(m_strOut);
    run.err = FileText(m_strErr);
    return run;
}

Outcome RunProgram(std::vector<std::string> argv, const std::string& dir,
                   const std::vector<std::string>& extraEnv) {
    return CProgramRun(std::move(argv), dir, extraEnv).Finish();
}

}  // namespace keltrove::test
