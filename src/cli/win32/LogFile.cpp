#include "LogFile.h"

#include <windows.h>

#include "SystemError.h"

namespace keltrove::cli {

CLogFile::CLogFile(std::string path) : m_strPath(std::move(path)) {
    // FILE_APPEND_DATA alone: every write goes to the end, as O_APPEND does.
    m_File.Reset(::CreateFileW(Widen(m_strPath).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_File.IsValid()) {
        m_strError = DescribeFileError(m_strPath, ::GetLastError(), "cannot open the log");
        return;
    }
    if (::GetFileType(m_File.Get()) != FILE_TYPE_DISK) {
        m_File.Reset();
        m_strError = m_strPath + ": is not a file on a disk; give --log the name of a file";
    }
}

std::string CLogFile::Append(std::string_view line) {
    if (!m_File.IsValid()) return m_strError;
    LARGE_INTEGER before{};
    const bool sized = ::GetFileSizeEx(m_File.Get(), &before) != 0;
    DWORD written = 0;
    if (!::WriteFile(m_File.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                     nullptr) ||
        written != line.size()) {
        const DWORD error = ::GetLastError();
        if (sized) {  // cut back what went out, so that no line is left half written
            FILE_END_OF_FILE_INFO end{before};
            ::SetFileInformationByHandle(m_File.Get(), FileEndOfFileInfo, &end, sizeof end);
        }
        return DescribeFileError(m_strPath, error, "cannot add to the log");
    }
    if (!::FlushFileBuffers(m_File.Get())) {
        return DescribeFileError(m_strPath, ::GetLastError(), "cannot sync the log");
    }
    return {};
}

}  // namespace keltrove::cli
