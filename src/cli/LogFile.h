// LogFile: the station's --log, a file of lines that only grows: each line is appended in one
// write and synced to the disk before Append returns, so that a crash, a kill or a pulled
// power cord loses no line already reported and leaves none half written (a write that
// fails part way is cut back off).
//
// Only a regular file is taken, made when missing; a FIFO or a device is refused without
// blocking on it. One thread at a time (the station holds its lock). Errors are texts that
// name the file; nothing throws.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
#include "UniqueHandle.h"
#else
#include "UniqueFd.h"
#endif

namespace keltrove::cli {

class CLogFile {
public:
    // Opens `path` to append to it; Error says why it cannot be.
    explicit CLogFile(std::string path);

    const std::string& Error() const { return m_strError; }

    // Appends `line`, which ends in a line feed, and syncs it. Returns an error, or "".
    std::string Append(std::string_view line);

private:
    std::string m_strPath;
    std::string m_strError;
#ifdef _WIN32
    UniqueHandle m_File;
#else
    UniqueFd m_File;
#endif
};

}  // namespace keltrove::cli
