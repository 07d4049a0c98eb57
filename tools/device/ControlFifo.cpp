#include "ControlFifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

#include "OsError.h"

namespace keltrove::device {

namespace {

// Far longer than any command with a table file's path.
constexpr std::size_t kMaxLine = 4096;

void RefuseNonFifo(const std::string& path, const struct stat& info) {
    if (S_ISFIFO(info.st_mode)) return;
    throw std::runtime_error(path +
                             " exists and is not a FIFO; give --control a new name, and the "
                             "simulator makes the FIFO there");
}

}  // namespace

CControlFifo::CControlFifo(std::string path) : m_strPath(std::move(path)) {
    if (::mkfifo(m_strPath.c_str(), 0600) == 0) {
        m_bMade = true;
    } else if (errno != EEXIST) {
        throw CSystemError("mkfifo", m_strPath, errno);
    }
    try {
        Open();
    } catch (...) {
        if (m_bMade) ::unlink(m_strPath.c_str());  // the destructor does not run
        throw;
    }
}

void CControlFifo::Open() {
    struct stat info {};
    // Looked at before it is opened: opening a serial port, say, would change its lines.
    if (::lstat(m_strPath.c_str(), &info) != 0) throw CSystemError("lstat", m_strPath, errno);
    RefuseNonFifo(m_strPath, info);
    // O_RDWR: we are a writer too, so the input never ends. O_NONBLOCK: opening a FIFO
    // blocks otherwise, and whatever stands at the path must not stall the simulator.
    m_Fifo.Reset(::open(m_strPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!m_Fifo.IsValid()) throw CSystemError("open", m_strPath, errno);
    if (::fstat(m_Fifo.Get(), &info) != 0) throw CSystemError("fstat", m_strPath, errno);
    RefuseNonFifo(m_strPath, info);  // swapped in between
}

CControlFifo::~CControlFifo() {
    if (m_bMade) ::unlink(m_strPath.c_str());
}

std::vector<std::string> CControlFifo::TakeLines() {
    std::array<char, 1024> buffer;
    for (;;) {
        const ssize_t got =
            RetryOnEintr([&] { return ::read(m_Fifo.Get(), buffer.data(), buffer.size()); });
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (got <= 0)
            throw CSystemError("read", "control FIFO " + m_strPath, got == 0 ? EIO : errno);
        m_strPartial.append(buffer.data(), static_cast<std::size_t>(got));
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = m_strPartial.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = m_strPartial.substr(start, end - start);
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
    m_strPartial.erase(0, start);
    for (; m_strPartial.size() > kMaxLine; m_strPartial.erase(0, kMaxLine)) {
        lines.push_back(m_strPartial.substr(0, kMaxLine));
    }
    return lines;
}

}  // namespace keltrove::device
