#include "PortEntry.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "OsError.h"

namespace keltrove::device {

namespace {

// Like mkdir -p, with 0700 for every directory it creates.
void MakeDirectories(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return;
    const int error = errno;
    if (error == EEXIST) return;
    const std::size_t slash = path.find_last_of('/');
    if (error != ENOENT || slash == std::string::npos || slash == 0) {
        throw CSystemError("mkdir", path, error);
    }
    MakeDirectories(path.substr(0, slash));
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw CSystemError("mkdir", path, errno);
}

// The link's target, or "" when `path` is no link.
std::string ReadLink(const std::string& path) {
    std::array<char, PATH_MAX> target{};
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (size < 0) return {};
    return std::string(target.data(), static_cast<std::size_t>(size));
}

}  // namespace

CPortEntry::CPortEntry(std::string directory, std::string name)
    : m_strDirectory(std::move(directory)),
      m_strName(std::move(name)),
      m_strLink(m_strDirectory + "/" + m_strName),
      m_strLockPath(m_strDirectory + "/." + m_strName + ".lock") {
    PrepareDirectory();
    Lock();
    CheckExistingLink();
}

CPortEntry::~CPortEntry() {
    if (!m_strTarget.empty() && ReadLink(m_strLink) == m_strTarget) ::unlink(m_strLink.c_str());
    // Safe while still locked: whoever opened the old file meanwhile sees it is gone (Lock).
    ::unlink(m_strLockPath.c_str());
}

void CPortEntry::PrepareDirectory() const {
    MakeDirectories(m_strDirectory);
    struct stat info {};
    if (::stat(m_strDirectory.c_str(), &info) != 0)
        throw CSystemError("stat", m_strDirectory, errno);
    if (!S_ISDIR(info.st_mode)) throw CSystemError("port directory", m_strDirectory, ENOTDIR);
    if (info.st_uid != ::geteuid() || (info.st_mode & S_IWOTH) != 0) {
        throw CPortRefused("port directory " + m_strDirectory +
                           " belongs to another user or is writable by anyone; refusing to use "
                           "it (set KELTROVE_PORT_DIR to a directory of your own)");
    }
}

void CPortEntry::Lock() {
    for (;;) {
        UniqueFd lock(RetryOnEintr([&] {
            return ::open(m_strLockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        }));
        if (!lock.IsValid()) throw CSystemError("open", m_strLockPath, errno);
        if (RetryOnEintr([&] { return ::flock(lock.Get(), LOCK_EX | LOCK_NB); }) != 0) {
            if (errno != EWOULDBLOCK) throw CSystemError("flock", m_strLockPath, errno);
            throw CPortRefused(m_strName + " is already held by a running keltrove-device" +
                               HolderPid() + " in " + m_strDirectory +
                               "; stop it, or choose another name with --as");
        }
        // The holder may have removed the file between our open and our flock: then the lock
        // is on a file nobody else will look at, and we must try again with the new one.
        struct stat locked {
        }, current{};
        if (::fstat(lock.Get(), &locked) != 0) throw CSystemError("fstat", m_strLockPath, errno);
        if (::stat(m_strLockPath.c_str(), &current) != 0 || locked.st_ino != current.st_ino ||
            locked.st_dev != current.st_dev) {
            continue;
        }
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(lock.Get(), 0) != 0) throw CSystemError("ftruncate", m_strLockPath, errno);
        if (::pwrite(lock.Get(), pid.data(), pid.size(), 0) < 0) {
            throw CSystemError("pwrite", m_strLockPath, errno);
        }
        m_Lock = std::move(lock);
        return;
    }
}

// " (pid 1234)", from the lock file, or "" when it cannot be read.
std::string CPortEntry::HolderPid() const {
    UniqueFd file(::open(m_strLockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::array<char, 32> text{};
    const ssize_t size = file.IsValid() ? ::read(file.Get(), text.data(), text.size() - 1) : -1;
    std::string pid(text.data(), size > 0 ? static_cast<std::size_t>(size) : 0);
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
    return pid.empty() ? "" : " (pid " + pid + ")";
}

void CPortEntry::CheckExistingLink() const {
    struct stat info {};
    if (::lstat(m_strLink.c_str(), &info) != 0) {
        if (errno == ENOENT) return;
        throw CSystemError("lstat", m_strLink, errno);
    }
    if (!S_ISLNK(info.st_mode)) {
        throw CPortRefused(m_strLink + " exists and is not a link; choose another name with --as");
    }
    // The lock is ours, so a link to a pty was left by a simulator that is gone.
    const std::string target = ReadLink(m_strLink);
    if (target.starts_with("/dev/pts/")) return;
    throw CPortRefused(m_strLink + " points at " + target +
                       ", which is not a simulator's port; choose another name with --as");
}

void CPortEntry::PointAt(const std::string& target) {
    const std::string temporary = m_strDirectory + "/." + m_strName + ".new";
    ::unlink(temporary.c_str());  // a leftover of a simulator that died right here
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        throw CSystemError("symlink", temporary, errno);
    }
    if (::rename(temporary.c_str(), m_strLink.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw CSystemError("rename", temporary + " to " + m_strLink, error);
    }
    m_strTarget = target;
}

}  // namespace keltrove::device
