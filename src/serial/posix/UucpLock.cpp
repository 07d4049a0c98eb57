#include "UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "SystemError.h"
#include "UniqueFd.h"

namespace keltrove {

namespace {

constexpr int kAttempts = 3;  // a stale lock taken over by another program meanwhile

// The pid a lock file names: ten ASCII characters, or four binary bytes as some old
// programs write; 0 when it names none.
long LockOwner(const std::string& path) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.IsValid()) return 0;
    std::array<char, 64> text{};
    const ssize_t size = ::read(file.Get(), text.data(), text.size() - 1);
    if (size == 4 && (text[3] == 0 || static_cast<unsigned char>(text[3]) < 0x20)) {
        std::int32_t binary = 0;
        std::copy_n(text.data(), 4, reinterpret_cast<char*>(&binary));
        return binary;
    }
    return size > 0 ? std::strtol(text.data(), nullptr, 10) : 0;
}

bool IsAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

std::string ProgramName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "another program" : name;
}

}  // namespace

CUucpLock::CUucpLock(CUucpLock&& other) noexcept : m_strPath(std::exchange(other.m_strPath, {})) {}

CUucpLock& CUucpLock::operator=(CUucpLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_strPath = std::exchange(other.m_strPath, {});
    }
    return *this;
}

std::string CUucpLock::Directory() {
    const char* dir = std::getenv("KELTROVE_LOCK_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/run/lock";
}

std::string CUucpLock::FileName(const std::string& device) {
    std::string name = device.starts_with("/dev/") ? device.substr(5) : device;
    if (name.starts_with('/')) name.erase(0, 1);
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

std::string CUucpLock::Take(const std::string& device, std::string_view shown) {
    Release();
    const std::string dir = Directory();
    if (::access(dir.c_str(), W_OK) != 0) return {};  // flock alone will have to do
    const std::string path = dir + "/" + FileName(device);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        UniqueFd file(RetryOnEintr([&] {
            return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        }));
        if (file.IsValid()) {
            char pid[16];
            const int size =
                std::snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(::getpid()));
            if (::write(file.Get(), pid, static_cast<std::size_t>(size)) != size) {
                ::unlink(path.c_str());
                return {};  // a lock nobody could read is worse than none
            }
            m_strPath = path;
            return {};
        }
        if (errno != EEXIST) return {};
        const long owner = LockOwner(path);
        if (IsAlive(owner)) {
            return std::string(shown) + " is in use by " + ProgramName(owner) + " (pid " +
                   std::to_string(owner) + "); close it there first";
        }
        // Stale: its program ended without removing it. Look once more right before
        // removing, since another program may be taking it over too.
        if (LockOwner(path) == owner) ::unlink(path.c_str());
    }
    return std::string(shown) + ": its lock file " + path + " keeps changing; try again";
}

void CUucpLock::Release() {
    if (m_strPath.empty()) return;
    // No one takes over a lock whose process lives, so the file is still ours. Removing it
    // must not need a descriptor: it also happens when the process has run out of them.
    ::unlink(m_strPath.c_str());
    m_strPath.clear();
}

}  // namespace keltrove
