#include "LineSettings.h"

#include <array>
#include <utility>

namespace keltrove {

namespace {

// clang-format off
// Input flags that RawLine clears.
constexpr tcflag_t kInputOff =
    IGNBRK | BRKINT |        // a break arrives as a 0 byte, neither ignored nor a signal
    PARMRK | INPCK |         // no parity checking or marking: the line has no parity bit
    ISTRIP |                 // all 8 bits of every byte are data
    INLCR | IGNCR | ICRNL |  // 0x0A and 0x0D are frame bytes like any other
    IXON | IXOFF | IXANY;    // XON/XOFF off both ways: 0x11 and 0x13 may occur in frames

// Local flags that RawLine clears.
constexpr tcflag_t kLocalOff =
    ICANON |         // no line editing: bytes are readable as they arrive
    ECHO | ECHONL |  // nothing is echoed back to the device
    ISIG |           // 0x03, the byte that ends every frame, is not Ctrl+C
    IEXTEN;          // no implementation-defined input processing (Ctrl+V)
// clang-format on

// Control flags that RawLine decides, whatever the port had.
constexpr tcflag_t kControlDecided = CSIZE | PARENB | CSTOPB | CREAD | CLOCAL;

}  // namespace

std::optional<speed_t> SpeedFromBaud(std::uint32_t baud) {
    static constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kSpeeds{{
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    }};
    for (const auto& [rate, speed] : kSpeeds) {
        if (rate == baud) return speed;
    }
    return std::nullopt;
}

termios RawLine(const termios& original, speed_t speed) {
    termios line = original;
    line.c_iflag &= ~kInputOff;
    line.c_oflag &= ~OPOST;  // bytes go out as written, no newline translation
    line.c_lflag &= ~kLocalOff;
    line.c_cflag &= ~kControlDecided;
    line.c_cflag |= CS8 |    // 8 data bits; PARENB and CSTOPB cleared: no parity, 1 stop bit
                    CREAD |  // the receiver is on
                    CLOCAL;  // no carrier needed: the device drives no modem lines
    // CRTSCTS is left alone: hardware flow control stays as the port had it.
    line.c_cc[VMIN] = 0;   // a read returns at once with what has arrived, even nothing;
    line.c_cc[VTIME] = 0;  // the watcher waits in poll(), never in read()
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    return line;
}

bool LineTook(const termios& wanted, const termios& actual) {
    constexpr tcflag_t kControl = kControlDecided | CRTSCTS;
    return (actual.c_iflag & kInputOff) == (wanted.c_iflag & kInputOff) &&
           (actual.c_oflag & OPOST) == (wanted.c_oflag & OPOST) &&
           (actual.c_lflag & kLocalOff) == (wanted.c_lflag & kLocalOff) &&
           (actual.c_cflag & kControl) == (wanted.c_cflag & kControl) &&
           actual.c_cc[VMIN] == wanted.c_cc[VMIN] && actual.c_cc[VTIME] == wanted.c_cc[VTIME] &&
           cfgetispeed(&actual) == cfgetispeed(&wanted) &&
           cfgetospeed(&actual) == cfgetospeed(&wanted);
}

}  // namespace keltrove
