#include "PipedProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>
#include <utility>

#include "TestIo.h"

extern char** environ;

namespace keltrove::test {

CPipedProgram::CPipedProgram(std::vector<std::string> argv, const std::filesystem::path& outFile) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(err, O_CLOEXEC) != 0 || (outFile.empty() && ::pipe2(out, O_CLOEXEC) != 0)) {
        throw std::runtime_error("no pipe for " + argv[0]);
    }
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int failed = ::posix_spawn(&m_Pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (const int end : {out[1], err[1]}) {
        if (end >= 0) ::close(end);
    }
    m_Fds[Out] = out[0];
    m_Fds[Err] = err[0];
    if (failed != 0) {
        m_Pid = -1;
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

CPipedProgram::~CPipedProgram() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGTERM);
        ::waitpid(m_Pid, nullptr, 0);
    }
    for (const Stream stream : {Out, Err}) Close(stream);
}

std::string CPipedProgram::Line(Stream stream) {
    std::string& buffered = m_Buffered[stream];
    for (;;) {
        if (const auto end = buffered.find('\n'); end != std::string::npos) {
            std::string line = buffered.substr(0, end);
            buffered.erase(0, end + 1);
            return line;
        }
        if (!Fill(stream)) return std::exchange(buffered, {});
    }
}

std::string CPipedProgram::LineWith(const std::string& text, Stream stream) {
    for (std::string line = Line(stream);; line = Line(stream)) {
        if (line.empty() || line.find(text) != std::string::npos) return line;
    }
}

void CPipedProgram::Close(Stream stream) {
    if (m_Fds[stream] >= 0) ::close(std::exchange(m_Fds[stream], -1));
}

int CPipedProgram::Wait(std::string* rest) {
    for (std::string line; m_Fds[Err] >= 0 && !(line = Line(Err)).empty();) {
        if (rest != nullptr) *rest += line + "\n";
    }
    int status = 0;
    ::waitpid(std::exchange(m_Pid, -1), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CPipedProgram::Fill(Stream stream) {
    if (m_Fds[stream] < 0) return false;
    pollfd fds[2] = {{m_Fds[Out], POLLIN, 0}, {m_Fds[Err], POLLIN, 0}};
    if (::poll(fds, 2, kGuardMs) <= 0) return false;
    for (const Stream each : {Out, Err}) {
        if (fds[each].revents == 0) continue;
        char chunk[4096];
        const ssize_t got = ::read(m_Fds[each], chunk, sizeof chunk);
        if (got > 0) {
            m_Buffered[each].append(chunk, static_cast<std::size_t>(got));
        } else if (each == stream) {
            return false;
        }
    }
    return true;
}

}  // namespace keltrove::test
