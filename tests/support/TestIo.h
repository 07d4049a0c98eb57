// TestIo: what many tests share: the guard on their waits, a file's content, the entries of
// a folder, and bytes read from a descriptor within the guard. Any thread.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace keltrove::test {

// Failure guard for waits: generous, since it only ends a test that would hang.
inline constexpr int kGuardMs = 10000;

// A file's whole content; "" when it cannot be read.
inline std::string FileText(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// How many entries a folder holds, such as /proc/self/fd or /proc/self/task.
inline int CountEntries(const std::filesystem::path& folder) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// `count` bytes from `fd`; fewer when `guardMs` passes with none coming, or at its end.
inline std::string ReadBytes(int fd, std::size_t count, int guardMs = kGuardMs) {
    std::string bytes(count, '\0');
    std::size_t got = 0;
    pollfd in{fd, POLLIN, 0};
    for (ssize_t n = 0; got < count && ::poll(&in, 1, guardMs) == 1; got += std::size_t(n)) {
        if ((n = ::read(fd, bytes.data() + got, count - got)) <= 0) break;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace keltrove::test
