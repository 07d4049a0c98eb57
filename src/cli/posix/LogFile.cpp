#include "LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "SystemError.h"

namespace keltrove::cli {

CLogFile::CLogFile(std::string path) : m_strPath(std::move(path)) {
    // O_NONBLOCK: a FIFO without a reader fails at once instead of blocking the open.
    m_File.Reset(::open(m_strPath.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644));
    if (!m_File.IsValid()) {
        m_strError = DescribeFileError(m_strPath, errno, "cannot open the log");
        return;
    }
    struct stat info {};
    if (::fstat(m_File.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_File.Reset();
        m_strError = m_strPath + ": is not a regular file; give --log the name of a file";
        return;
    }
    // The file's name itself must outlive a power cut: sync the folder that holds it.
    std::filesystem::path folder = std::filesystem::path(m_strPath).parent_path();
    const UniqueFd dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsValid()) ::fsync(dir.Get());
}

std::string CLogFile::Append(std::string_view line) {
    if (!m_File.IsValid()) return m_strError;
    const off_t before = ::lseek(m_File.Get(), 0, SEEK_END);
    for (std::string_view rest = line; !rest.empty();) {
        const ssize_t n =
            RetryOnEintr([&] { return ::write(m_File.Get(), rest.data(), rest.size()); });
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            if (before >= 0) {  // what went out is cut back, so that no line is half written
                [[maybe_unused]] const int cut = ::ftruncate(m_File.Get(), before);
            }
            return DescribeFileError(m_strPath, error, "cannot add to the log");
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    if (::fsync(m_File.Get()) != 0)
        return DescribeFileError(m_strPath, errno, "cannot sync the log");
    return {};
}

}  // namespace keltrove::cli
