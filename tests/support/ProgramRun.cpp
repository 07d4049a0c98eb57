#include "ProgramRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace keltrove::test {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::chrono::microseconds CpuOf(const timeval& user, const timeval& system) {
    return std::chrono::seconds(user.tv_sec + system.tv_sec) +
           std::chrono::microseconds(user.tv_usec + system.tv_usec);
}

}  // namespace

CProgramRun::CProgramRun(std::vector<std::string> argv, const std::string& dir,
                         const std::vector<std::string>& extraEnv)
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
    const int failed = ::posix_spawn(&m_Pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
}

CProgramRun::~CProgramRun() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGKILL);
        ::waitpid(m_Pid, nullptr, 0);
    }
}

std::chrono::microseconds CProgramRun::CpuSoFar() const {
    // Fields 14 and 15 of /proc/<pid>/stat, after the parenthesised name.
    std::ifstream stat("/proc/" + std::to_string(m_Pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto name = line.rfind(')');
    if (name == std::string::npos) return {};
    std::istringstream fields(line.substr(name + 2));
    std::string field;
    long long user = 0;
    long long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) user = std::stoll(field);
        if (index == 15) {
            system = std::stoll(field);
            break;
        }
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return std::chrono::microseconds((user + system) * 1000000 / ticks);
}

Outcome CProgramRun::Finish() {
    Outcome run;
    int status = 0;
    rusage usage{};
    if (::wait4(m_Pid, &status, 0, &usage) == m_Pid) {
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.cpu = CpuOf(usage.ru_utime, usage.ru_stime);  // with the children it reaped
    }
    m_Pid = -1;
    run.out = ReadWhole(m_strOut);
    run.err = ReadWhole(m_strErr);
    return run;
}

Outcome RunProgram(std::vector<std::string> argv, const std::string& dir,
                   const std::vector<std::string>& extraEnv) {
    return CProgramRun(std::move(argv), dir, extraEnv).Finish();
}

}  // namespace keltrove::test
