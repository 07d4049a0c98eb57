#include "DeviceServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "OsError.h"

namespace keltrove::device {

namespace {

constexpr std::size_t kReadChunk = 4096;
// Before a hang-up: how often to look whether the program has read everything, and for how
// long at most. The kernel passes written bytes on to the reading side a moment later, so
// the first look comes after one period, not at once.
constexpr std::chrono::milliseconds kDrainCheck{5};
constexpr std::chrono::seconds kDrainLimit{2};

timespec ToTimespec(Nanos duration) {
    duration = std::max(duration, Nanos{0});
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((duration - seconds).count())};
}

}  // namespace

CDeviceServer::CDeviceServer(CDeviceSession& session, CPortEntry& entry, CStopSignals& stop,
                             Announce announce)
    : m_Session(session), m_Entry(entry), m_Stop(stop), m_Announce(std::move(announce)) {}

std::string CDeviceServer::Run() {
    PlugIn();
    for (;;) {
        Transmit(Clock::now());
        if (m_Session.HangupDue()) {
            HangUp();
            continue;
        }
        if (!Wait()) return CStopSignals::Name(m_Stop.Take());
    }
}

void CDeviceServer::PlugIn() {
    m_Line = std::make_unique<Line>(m_Session.Baud());
    m_bWaitWritable = false;
    m_Entry.PointAt(m_Line->pty.SlavePath());
    m_Announce(m_Entry.LinkPath(), m_Line->pty.SlavePath());
}

// Closing the master is what the program sees as the adapter being pulled out.
void CDeviceServer::HangUp() {
    WaitUntilRead();
    m_Line.reset();
    m_Session.OnHungUp();
    PlugIn();
}

// A bounded wait in short steps: nothing signals that the other side has read its input.
// Ends early when the program closes the port or a stop signal arrives.
void CDeviceServer::WaitUntilRead() {
    const TimePoint limit = Clock::now() + kDrainLimit;
    std::array<pollfd, 2> fds{{{m_Stop.Fd(), POLLIN, 0}, {m_Line->watch.Fd(), POLLIN, 0}}};
    const timespec step = ToTimespec(kDrainCheck);
    while (m_Line->watch.IsOpen() && Clock::now() < limit) {
        if (RetryOnEintr([&] { return ::ppoll(fds.data(), fds.size(), &step, nullptr); }) < 0) {
            throw CSystemError("ppoll", "stop signals and port watch", errno);
        }
        if (fds[0].revents != 0) return;  // Run sees the signal next
        if (fds[1].revents != 0) WatchUse();
        if (m_Line->pty.UnreadByProgram() == 0) return;
    }
}

bool CDeviceServer::Wait() {
    const short masterEvents = POLLIN | (m_bWaitWritable ? POLLOUT : 0);
    std::array<pollfd, 3> fds{{{m_Stop.Fd(), POLLIN, 0},
                               {m_Line->pty.Master(), masterEvents, 0},
                               {m_Line->watch.Fd(), POLLIN, 0}}};
    timespec timeout{};
    const std::optional<TimePoint> due = m_Session.NextDue();
    const bool timed = due && !m_bWaitWritable;
    if (timed) timeout = ToTimespec(*due - Clock::now());
    if (RetryOnEintr([&] {
            return ::ppoll(fds.data(), fds.size(), timed ? &timeout : nullptr, nullptr);
        }) < 0) {
        throw CSystemError("ppoll", "pty master", errno);
    }
    if (fds[0].revents != 0) return false;
    // Never while the simulator holds its own slave descriptor; stop rather than spin.
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        throw CSystemError("poll", "pty master " + m_Line->pty.SlavePath(), EIO);
    }
    if (fds[1].revents & POLLIN) Receive(Clock::now());
    if (fds[1].revents & POLLOUT) m_bWaitWritable = false;
    if (fds[2].revents != 0) WatchUse();
    return true;
}

void CDeviceServer::Transmit(TimePoint now) {
    if (m_bWaitWritable) return;
    m_Session.TakeDue(now, m_Out);
    if (m_Out.empty()) return;
    const ssize_t written =
        RetryOnEintr([&] { return ::write(m_Line->pty.Master(), m_Out.data(), m_Out.size()); });
    if (written < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            throw CSystemError("write", "pty master " + m_Line->pty.SlavePath(), errno);
        }
        m_bWaitWritable = true;  // the program is not reading: its input queue is full
        return;
    }
    m_bWaitWritable = static_cast<std::size_t>(written) < m_Out.size();
    m_Session.OnWritten(static_cast<std::size_t>(written));
}

void CDeviceServer::Receive(TimePoint now) {
    std::array<std::uint8_t, kReadChunk> buffer;
    while (!m_Session.HangupDue()) {
        const ssize_t got = RetryOnEintr(
            [&] { return ::read(m_Line->pty.Master(), buffer.data(), buffer.size()); });
        if (got > 0) {
            m_Session.OnReceived(std::span(buffer.data(), static_cast<std::size_t>(got)), now);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // End of file or EIO: the slave side is gone, which the held descriptor rules out.
        throw CSystemError("read", "pty master " + m_Line->pty.SlavePath(), got == 0 ? EIO : errno);
    }
}

void CDeviceServer::WatchUse() {
    if (m_Line->watch.Drain().empty()) return;
    if (m_Line->watch.IsOpen()) {
        // Possibly closed and opened again since the last look. The program may have sent a
        // request on its new descriptor already, and its answer is under way: keep it.
        m_Session.OnPortOpened();
        return;
    }
    m_Session.OnPortClosed();
    m_Line->pty.ResetAfterClose();
    m_bWaitWritable = false;
}

}  // namespace keltrove::device
