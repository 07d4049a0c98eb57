#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "FileTexts.h"
#include "SystemError.h"
#include "UniqueFd.h"

namespace keltrove {

namespace {

std::string NotAFile(const std::string& path, mode_t mode) {
    const char* what = S_ISDIR(mode)    ? "a directory"
                       : S_ISFIFO(mode) ? "a FIFO (a named pipe)"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISSOCK(mode) ? "a socket"
                                        : "not a regular file";
    return NotAFileText(path, what);
}

// The process's umask, read without changing it (umask() would change it for every
// thread for a moment).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("Umask:"))
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = RetryOnEintr([&] { return ::write(fd, bytes.data(), bytes.size()); });
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The longest part of a target's name that its temporary file's name takes.
constexpr std::size_t kTemporaryStem = 200;

// Where SaveAtomically writes for `given`: the file at the end of its symbolic links (an
// editor saving through a link does the same), even when that does not exist yet. An
// error text when a link cannot be followed; empty otherwise, with `path` set and each
// name on the way, `given` first, in `chain` when asked.
std::string FollowLinks(const std::string& given, std::string& path,
                        std::vector<std::string>* chain = nullptr) {
    path = given;
    std::error_code error;
    for (int hops = 0;; ++hops) {
        if (chain != nullptr) chain->push_back(path);
        if (!std::filesystem::is_symlink(path, error)) return {};
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error || hops == 40) {
            return DescribeFileError(given, error ? error.value() : ELOOP,
                                     "cannot follow the link");
        }
        path =
            (next.is_absolute() ? next : std::filesystem::path(path).parent_path() / next).string();
    }
}

// Whether `path` names an open descriptor: /dev/stdout, /dev/fd/N, /proc/self/fd/N.
bool IsDescriptorName(const std::string& path) {
    std::error_code error;
    const std::string name = std::filesystem::absolute(path, error).lexically_normal().string();
    return name == "/dev/stdin" || name == "/dev/stdout" || name == "/dev/stderr" ||
           name.starts_with("/dev/fd/") ||
           (name.starts_with("/proc/") && name.find("/fd/") != std::string::npos);
}

// `path` made absolute, with the links of the folders on its way followed.
std::filesystem::path Place(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::filesystem::path place = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : place;
}

// Where SaveAtomically writes for `given`, and with which mode.
struct Target {
    std::string path;              // every link followed
    std::filesystem::path folder;  // where the temporary file goes
    mode_t mode = 0;               // the replaced file's, or the usual for a new one
};

// Why `given` cannot be replaced as it stands; empty, with `target` set, when it can.
std::string Prepare(const std::string& given, Target& target) {
    std::vector<std::string> chain;
    if (std::string failed = FollowLinks(given, target.path, &chain); !failed.empty()) {
        return failed;
    }
    // /dev/stdout leads to whatever standard output is; were that a file (> log, >> log),
    // the log would be replaced by the table, and the shell would go on writing into the
    // old one.
    if (std::any_of(chain.begin(), chain.end(), IsDescriptorName)) {
        return NotAFileText(given, "an open descriptor (such as standard output)");
    }
    const std::filesystem::path path(target.path);
    target.folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    target.mode = 0666 & ~CurrentUmask();
    struct stat info {};
    if (::stat(target.path.c_str(), &info) == 0) {
        // A FIFO or a device cannot be replaced, and writing into one would keep no promise
        // of a whole file.
        if (!S_ISREG(info.st_mode)) return NotAFile(given, info.st_mode);
        target.mode = info.st_mode & 07777;
        return {};
    }
    if (errno != ENOENT) return DescribeFileError(given, errno);  // such as a name too long
    if (::stat(target.folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return target.path + ": there is no folder " + target.folder.string() +
               "; make it first, or choose another place";
    }
    return {};
}

}  // namespace

FileRead ReadRegularFile(const std::string& path) {
    // stat before open: opening a device or a FIFO can have effects, or block.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {std::nullopt, DescribeFileError(path, errno)};
    if (!S_ISREG(info.st_mode)) return {std::nullopt, NotAFile(path, info.st_mode)};
    UniqueFd file(RetryOnEintr(
        [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!file.IsValid()) return {std::nullopt, DescribeFileError(path, errno)};
    // The name may have been swapped for something else since the stat.
    if (::fstat(file.Get(), &info) != 0) return {std::nullopt, DescribeFileError(path, errno)};
    if (!S_ISREG(info.st_mode)) return {std::nullopt, NotAFile(path, info.st_mode)};
    std::string bytes;
    std::vector<char> chunk(16 * 1024);
    for (;;) {
        const ssize_t n =
            RetryOnEintr([&] { return ::read(file.Get(), chunk.data(), chunk.size()); });
        if (n < 0) return {std::nullopt, DescribeFileError(path, errno, "read")};
        if (n == 0) return {std::move(bytes), {}};
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
        if (bytes.size() > kMaxTableFileBytes) {
            return {std::nullopt, TooLargeText(path)};
        }
    }
}

std::string ReplaceProblem(const std::string& path) {
    Target ignored;
    return Prepare(path, ignored);
}

std::string SaveAtomically(const std::string& given, std::string_view bytes) {
    Target target;
    if (std::string wrong = Prepare(given, target); !wrong.empty()) return wrong;
    const std::string& path = target.path;
    const std::filesystem::path& folder = target.folder;
    const mode_t mode = target.mode;
    // The target's name shortened, so that the temporary's stays within the system's limit
    // wherever the target's does.
    std::string temporary =
        (folder / ("." + std::filesystem::path(path).filename().string().substr(0, kTemporaryStem) +
                   ".XXXXXX"))
            .string();
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsValid()) {
        return DescribeFileError(path, errno, "cannot make a temporary file in its folder");
    }
    const auto fail = [&](std::string_view what, int error) {
        ::unlink(temporary.c_str());
        return DescribeFileError(path, error, what);
    };
    if (::fchmod(file.Get(), mode) != 0) return fail("fchmod", errno);
    if (!WriteAll(file.Get(), bytes)) return fail("write", errno);
    if (::fsync(file.Get()) != 0) return fail("fsync", errno);
    if (::close(file.Release()) != 0) return fail("close", errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail("rename", errno);
    // The rename itself reaches the disk only with the folder.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsValid()) ::fsync(dir.Get());
    return {};
}

bool SameFile(const std::string& one, const std::string& other) {
    struct stat first {};
    struct stat second {};
    const bool firstExists = ::stat(one.c_str(), &first) == 0;
    const bool secondExists = ::stat(other.c_str(), &second) == 0;
    if (firstExists || secondExists) {
        return firstExists && secondExists && first.st_dev == second.st_dev &&
               first.st_ino == second.st_ino;
    }
    std::string firstPath;
    std::string secondPath;
    if (!FollowLinks(one, firstPath).empty() || !FollowLinks(other, secondPath).empty()) {
        return false;  // saving there fails, and says why
    }
    return Place(firstPath) == Place(secondPath);
}

}  // namespace keltrove
