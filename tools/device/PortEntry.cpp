#include "PortEntry.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "OsError.h"
#include "PortMap.h"

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

// The link's target, or "" when `name` is no link.
std::string ReadLinkAt(int dir, const std::string& name) {
    std::array<char, PATH_MAX> target{};
    const ssize_t size = ::readlinkat(dir, name.c_str(), target.data(), target.size() - 1);
    if (size < 0) return {};
    return std::string(target.data(), static_cast<std::size_t>(size));
}

}  // namespace

CPortEntry::CPortEntry(std::string directory, std::string name)
    : m_strDirectory(std::move(directory)),
      m_strName(std::move(name)),
      m_strLink(m_strDirectory + "/" + m_strName),
      m_strLockName("." + m_strName + ".lock") {
    PrepareDirectory();
    Lock();
    CheckExistingLink();
}

CPortEntry::~CPortEntry() {
    Remove();
    // Safe while still locked: whoever opened the old file meanwhile sees it is gone (Lock).
    ::unlinkat(m_Dir.Get(), m_strLockName.c_str(), 0);
}

// Everything after this goes through the descriptor checked here, so the directory cannot
// be swapped for another between the check and the link.
void CPortEntry::PrepareDirectory() {
    MakeDirectories(m_strDirectory);
    m_Dir.Reset(::open(m_strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!m_Dir.IsValid()) throw CSystemError("open", m_strDirectory, errno);
    if (const std::string distrust = DirectoryDistrust(m_Dir.Get(), m_strDirectory);
        !distrust.empty()) {
        throw CPortRefused("port directory " + m_strDirectory + " " + distrust +
                           ", so Keltrove would not use it; refusing to plug in there (set "
                           "KELTROVE_PORT_DIR, or give --port-dir, a directory of your own)");
    }
}

void CPortEntry::Lock() {
    const std::string lockPath = m_strDirectory + "/" + m_strLockName;
    for (;;) {
        UniqueFd lock(RetryOnEintr([&] {
            return ::openat(m_Dir.Get(), m_strLockName.c_str(),
                            O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        }));
        if (!lock.IsValid()) throw CSystemError("open", lockPath, errno);
        if (RetryOnEintr([&] { return ::flock(lock.Get(), LOCK_EX | LOCK_NB); }) != 0) {
            if (errno != EWOULDBLOCK) throw CSystemError("flock", lockPath, errno);
            throw CPortRefused(m_strName + " is already held by a running keltrove-device" +
                               HolderPid() + " in " + m_strDirectory +
                               "; stop it, or choose another name with --as");
        }
        // The holder may have removed the file between our open and our flock: then the lock
        // is on a file nobody else will look at, and we must try again with the new one.
        struct stat locked {
        }, current{};
        if (::fstat(lock.Get(), &locked) != 0) throw CSystemError("fstat", lockPath, errno);
        if (::fstatat(m_Dir.Get(), m_strLockName.c_str(), &current, AT_SYMLINK_NOFOLLOW) != 0 ||
            locked.st_ino != current.st_ino || locked.st_dev != current.st_dev) {
            continue;
        }
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(lock.Get(), 0) != 0) throw CSystemError("ftruncate", lockPath, errno);
        if (::pwrite(lock.Get(), pid.data(), pid.size(), 0) < 0) {
            throw CSystemError("pwrite", lockPath, errno);
        }
        m_Lock = std::move(lock);
        return;
    }
}

// " (pid 1234)", from the lock file, or "" when it cannot be read.
std::string CPortEntry::HolderPid() const {
    UniqueFd file(::openat(m_Dir.Get(), m_strLockName.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::array<char, 32> text{};
    const ssize_t size = file.IsValid() ? ::read(file.Get(), text.data(), text.size() - 1) : -1;
    std::string pid(text.data(), size > 0 ? static_cast<std::size_t>(size) : 0);
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
    return pid.empty() ? "" : " (pid " + pid + ")";
}

void CPortEntry::CheckExistingLink() const {
    struct stat info {};
    if (::fstatat(m_Dir.Get(), m_strName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        throw CSystemError("lstat", m_strLink, errno);
    }
    if (!S_ISLNK(info.st_mode)) {
        throw CPortRefused(m_strLink + " exists and is not a link; choose another name with --as");
    }
    // The lock is ours, so a link to a pty was left by a simulator that is gone.
    const std::string target = ReadLinkAt(m_Dir.Get(), m_strName);
    if (target.starts_with("/dev/pts/")) return;
    throw CPortRefused(m_strLink + " points at " + target +
                       ", which is not a simulator's port; choose another name with --as");
}

void CPortEntry::Remove() {
    if (!m_strTarget.empty() && ReadLinkAt(m_Dir.Get(), m_strName) == m_strTarget) {
        ::unlinkat(m_Dir.Get(), m_strName.c_str(), 0);
    }
    m_strTarget.clear();
}

void CPortEntry::PointAt(const std::string& target) {
    const std::string temporary = "." + m_strName + ".new";
    ::unlinkat(m_Dir.Get(), temporary.c_str(), 0);  // left by a simulator that died right here
    if (::symlinkat(target.c_str(), m_Dir.Get(), temporary.c_str()) != 0) {
        throw CSystemError("symlink", m_strDirectory + "/" + temporary, errno);
    }
    if (::renameat(m_Dir.Get(), temporary.c_str(), m_Dir.Get(), m_strName.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(m_Dir.Get(), temporary.c_str(), 0);
        throw CSystemError("rename", m_strDirectory + "/" + temporary + " to " + m_strLink, error);
    }
    m_strTarget = target;
}

}  // namespace keltrove::device
