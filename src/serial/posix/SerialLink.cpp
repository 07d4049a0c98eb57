#include "SerialLink.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <utility>

#include "ComNames.h"
#include "LineSettings.h"
#include "PollWait.h"
#include "PortMap.h"
#include "SystemError.h"
#include "WriteTime.h"

namespace keltrove {

namespace {

using Clock = PollClock;

// Waits until `fd` takes more output or `deadline` passes. False when it will not take any
// more in time: timed out, hung up or failed.
bool WaitForRoom(int fd, const std::optional<Clock::time_point>& deadline) {
    const short flags = WaitForPoll(fd, POLLOUT, deadline);
    return flags != 0 && (flags & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

// What would let the user open `device` after `error`; empty when nothing would.
std::string AccessHint(const std::string& device, int error) {
    if (error != EACCES && error != EPERM) return {};
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) return {};
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    const group* owners = ::getgrgid(info.st_gid);
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && owners != nullptr) {
        const std::string name = owners->gr_name;
        return "; the group " + name + " may use it: join it (sudo adduser $USER " + name +
               "), then log in again";
    }
    const passwd* owner = ::getpwuid(info.st_uid);
    return std::string("; only root or its owner ") + (owner != nullptr ? owner->pw_name : "?") +
           " may use it (mode " + mode + "), so joining a group will not help";
}

}  // namespace

bool CSerialLink::OpenAndSetUp(std::uint32_t baud) {
    if (!SpeedFromBaud(baud)) {
        Fail(m_strDevice + ": unsupported baud rate " + std::to_string(baud));
        return false;
    }
    PortHandle port = OpenExclusive();
    if (!port.IsValid()) return false;
    if (::tcgetattr(port.Get(), &m_Original.settings) != 0) {
        Fail(DescribeSystemError(m_strDevicePath, errno, "cannot read the line settings"));
        return false;
    }
    // From here on the port is held even if its settings are refused; Close releases it.
    m_hPort = std::move(port);
    m_Original.saved = true;
    m_nBaud = baud;
    if (!SetUpLine()) return false;
    ::tcflush(m_hPort.Get(), TCIOFLUSH);  // bytes from before Open are not ours
    return true;
}

PortHandle CSerialLink::OpenExclusive() {
    const PortMapping mapping = MapPort(m_strDevice);
    if (!mapping.problem.empty()) {
        Fail(mapping.problem, mapping.device.empty() ? OpenFailure::Absent : OpenFailure::Other);
        return {};
    }
    m_strDevicePath = mapping.device;
    const std::string shown = DescribeMapping(mapping);
    PortHandle port;
    // Before the open, which may already change the modem lines of a port in use.
    if (std::string refused =
            port.lock.Take(mapping.device, PortAndDevice(m_strDevice, mapping.device));
        !refused.empty()) {
        Fail(std::move(refused), OpenFailure::InUse);
        return {};
    }
    // O_NONBLOCK: neither open() nor I/O waits for carrier; the watcher waits in poll().
    port.fd.Reset(::open(mapping.OpenPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port.fd.IsValid()) {
        const int error = errno;
        const bool gone = error == ENOENT || error == ENODEV || error == ENXIO;
        Fail(shown + ": " + SystemMessage(error) + AccessHint(mapping.device, error),
             gone             ? OpenFailure::Absent
             : error == EBUSY ? OpenFailure::InUse
                              : OpenFailure::Other);
        return {};
    }
    if (!::isatty(port.Get())) {
        const std::string why = NotASerialPort(mapping.device, shown);
        Fail(why.empty() ? shown + ": " + SystemMessage(ENOTTY) : why);
        return {};
    }
    // The lock keeps out programs that lock ports, root included; TIOCEXCL keeps out any
    // later open() except root's.
    if (::flock(port.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        Fail(shown + ": " +
                 (error == EWOULDBLOCK ? "another program has locked it for itself"
                                       : SystemMessage(error)),
             error == EWOULDBLOCK ? OpenFailure::InUse : OpenFailure::Other);
        return {};
    }
    if (::ioctl(port.Get(), TIOCEXCL) != 0) {
        const int error = errno;
        Fail(shown + ": cannot take the port for this program alone: " + SystemMessage(error),
             error == EBUSY ? OpenFailure::InUse : OpenFailure::Other);
        return {};
    }
    return port;
}

bool CSerialLink::SetUpLine() {
    const termios wanted = RawLine(m_Original.settings, *SpeedFromBaud(m_nBaud));
    if (::tcsetattr(m_hPort.Get(), TCSANOW, &wanted) != 0) {
        Fail(DescribeSystemError(m_strDevicePath, errno, "the line settings were refused"));
        return false;
    }
    termios actual{};
    if (::tcgetattr(m_hPort.Get(), &actual) != 0) {
        Fail(DescribeSystemError(m_strDevicePath, errno, "cannot read the line settings"));
        return false;
    }
    if (!LineTook(wanted, actual)) {
        FailLineNotTaken(m_strDevicePath);
        return false;
    }
    return true;
}

void CSerialLink::CloseSerial() {
    const int port = m_hPort.Get();
    ::tcflush(port, TCIOFLUSH);
    if (m_Original.saved) ::tcsetattr(port, TCSANOW, &m_Original.settings);
    ::ioctl(port, TIOCNXCL);
    m_hPort = PortHandle();  // also releases the flock and removes the lock file
    m_Original.saved = false;
}

std::uint32_t CSerialLink::WriteSerial(const std::uint8_t* bytes, std::uint32_t count) {
    if (!m_hPort.IsValid() || count == 0) return 0;
    std::optional<Clock::time_point> deadline;
    if (const auto limit = WriteTimeLimit(m_nBaud, count)) deadline = Clock::now() + *limit;

    std::uint32_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(m_hPort.Get(), bytes + written, count - written);
        if (n > 0) {
            written += static_cast<std::uint32_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || errno == EAGAIN) {
            if (!WaitForRoom(m_hPort.Get(), deadline)) break;
        } else {
            break;  // the device failed; the count says how far it got
        }
    }
    return written;
}

std::string CSerialLink::ProbeLost() const {
    pollfd port{m_hPort.Get(), POLLIN, 0};
    if (::poll(&port, 1, 0) <= 0) return {};
    return HangUpReason(m_strDevicePath, port.revents);
}

// The device itself: what a lost line's message names on Linux.
const std::string& CSerialLink::PortName() const {
    return m_strDevicePath;
}

std::uint32_t CSerialLink::ReadSerial(std::uint8_t* buffer, std::uint32_t size,
                                      std::string* failure) {
    const int port = m_hPort.Get();
    if (port < 0 || size == 0) return 0;
    int waiting = 0;
    if (::ioctl(port, FIONREAD, &waiting) != 0) {
        if (failure != nullptr) *failure = DescribeSystemError(m_strDevicePath, errno);
        return 0;
    }
    if (waiting <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(port, buffer, size);
        if (n > 0) return static_cast<std::uint32_t>(n);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return 0;
        // Bytes were announced but none came: end of file, the device is gone.
        if (failure != nullptr) {
            *failure = n == 0 ? m_strDevicePath + ": the device hung up"
                              : DescribeSystemError(m_strDevicePath, errno);
        }
        return 0;
    }
}

}  // namespace keltrove
