#include "Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <array>

#include "LineSettings.h"
#include "OsError.h"

namespace keltrove::device {

CPty::CPty(std::uint32_t baud) {
    m_Master.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_Master.IsValid()) throw CSystemError("posix_openpt", "", errno);
    if (grantpt(m_Master.Get()) != 0) throw CSystemError("grantpt", "", errno);
    if (unlockpt(m_Master.Get()) != 0) throw CSystemError("unlockpt", "", errno);
    std::array<char, 128> name{};
    if (const int error = ptsname_r(m_Master.Get(), name.data(), name.size()); error != 0) {
        throw CSystemError("ptsname_r", "", error);
    }
    m_strSlavePath = name.data();
    // O_NOCTTY: the pty must never become the simulator's controlling terminal.
    m_Slave.Reset(RetryOnEintr(
        [&] { return ::open(m_strSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC); }));
    if (!m_Slave.IsValid()) throw CSystemError("open", m_strSlavePath, errno);
    SetRaw(baud);
    // Non-blocking master: the server polls, and a full slave input queue must not stall it.
    const int flags = fcntl(m_Master.Get(), F_GETFL);
    if (flags == -1) throw CSystemError("fcntl F_GETFL", "pty master", errno);
    if (fcntl(m_Master.Get(), F_SETFL, flags | O_NONBLOCK) == -1) {
        throw CSystemError("fcntl F_SETFL", "pty master", errno);
    }
}

void CPty::SetRaw(std::uint32_t baud) {
    termios settings{};
    if (tcgetattr(m_Slave.Get(), &settings) != 0) {
        throw CSystemError("tcgetattr", m_strSlavePath, errno);
    }
    // cfmakeraw: no echo (the program would read its own frames back), no CR/LF translation
    // (0x0d and 0x0a are ordinary value bytes), no signals from 0x03 (the frame end byte),
    // no XON/XOFF (0x11 and 0x13 may come as noise), 8 data bits, no parity.
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;  // no modem lines on a pty; receiver on
    settings.c_cc[VMIN] = 1;             // a blocking read returns as soon as a byte is there
    settings.c_cc[VTIME] = 0;            // with no inter-byte timer
    if (const auto speed = SpeedFromBaud(baud)) cfsetspeed(&settings, *speed);
    if (tcsetattr(m_Slave.Get(), TCSANOW, &settings) != 0) {
        throw CSystemError("tcsetattr", m_strSlavePath, errno);
    }
}

void CPty::ResetAfterClose() {
    // Both best effort: neither failing leaves the line unusable for the next open.
    (void)ioctl(m_Slave.Get(), TIOCNXCL);
    (void)tcflush(m_Slave.Get(), TCIFLUSH);
}

int CPty::UnreadByProgram() const {
    int unread = 0;
    if (ioctl(m_Slave.Get(), TIOCINQ, &unread) != 0) return 0;  // nothing to wait for then
    return unread;
}

}  // namespace keltrove::device
