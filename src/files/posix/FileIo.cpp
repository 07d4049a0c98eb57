#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string ReplaceFile(const std::string& given, std::string_view bytes) {
    // A symbolic link stays: what it points at is replaced, as an editor saving through
    // the link would do, even when that does not exist yet.
    std::string path = given;
    std::error_code error;
    for (int hops = 0; std::filesystem::is_symlink(path, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error || hops == 40) {
            return DescribeFileError(given, error ? error.value() : ELOOP,
                                     "cannot follow the link");
        }
        path =
            (next.is_absolute() ? next : std::filesystem::path(path).parent_path() / next).string();
    }
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return NotAFile(path, info.st_mode);
        mode = info.st_mode & 07777;
    }
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    UniqueFd file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsValid()) {
        return DescribeFileError(folder.string(), errno, "cannot make a file in this folder");
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

}  // namespace keltrove
