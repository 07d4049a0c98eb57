#include "DeviceServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <sstream>

#include "OsError.h"
#include "PanelSources.h"

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
                             Announce announce, const ReplugOptions& replug)
    : m_Session(session),
      m_Entry(entry),
      m_Stop(stop),
      m_Announce(std::move(announce)),
      m_Replug(replug) {}

void CDeviceServer::UseBench(CPanelBench& bench, std::vector<ListedPanel> list,
                             CControlFifo* control) {
    m_pBench = &bench;
    m_List = std::move(list);
    m_pControl = control;
}

std::string CDeviceServer::Run() {
    PlugIn();
    if (m_pBench) m_pBench->Start(std::move(m_List), Clock::now());
    for (;;) {
        const TimePoint now = Clock::now();
        RunTimers(now);
        if (m_Line) {
            Transmit(now);
            if (m_Session.HangupDue()) {
                HangUp();
                continue;
            }
        }
        if (!Wait()) return CStopSignals::Name(m_Stop.Take());
    }
}

void CDeviceServer::RunTimers(TimePoint now) {
    if (m_pBench) m_pBench->OnTime(now);
    if (m_Line && m_UnplugAt && *m_UnplugAt <= now) Unplug(*m_UnplugAt + m_Replug.away);
    if (!m_Line && m_PlugAt && *m_PlugAt <= now) PlugIn();
}

void CDeviceServer::PlugIn() {
    m_Line = m_NextLine ? std::move(m_NextLine) : std::make_unique<Line>(m_Session.Baud());
    m_bWaitWritable = false;
    m_PlugAt.reset();
    if (m_Replug.every) m_UnplugAt = Clock::now() + *m_Replug.every;
    m_Entry.PointAt(m_Line->pty.SlavePath());
    m_Announce(m_Entry.LinkPath() + " -> " + m_Line->pty.SlavePath());
}

// Closing the master is what the program sees as the adapter being pulled out.
void CDeviceServer::HangUp() {
    WaitUntilRead();
    if (m_Replug.unplugOnHangup) {
        Unplug(Clock::now() + m_Replug.away);
        return;
    }
    m_NextLine = std::make_unique<Line>(m_Session.Baud());
    m_Line.reset();
    m_Session.OnHungUp();
    PlugIn();
}

// The link goes first, so that a program that reopens the port at the hang-up finds no
// COMn rather than the old pty's name.
void CDeviceServer::Unplug(std::optional<TimePoint> back) {
    m_NextLine = std::make_unique<Line>(m_Session.Baud());
    m_Entry.Remove();
    m_Line.reset();
    m_Session.OnHungUp();
    m_UnplugAt.reset();
    m_PlugAt = back;
    m_Announce(m_Entry.LinkPath() + " unplugged");
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

std::optional<TimePoint> CDeviceServer::NextDeadline() const {
    std::optional<TimePoint> next;
    const auto consider = [&next](std::optional<TimePoint> when) {
        if (when && (!next || *when < *next)) next = when;
    };
    if (m_Line && !m_bWaitWritable) consider(m_Session.NextDue());
    if (m_pBench) consider(m_pBench->NextChange());
    consider(m_Line ? m_UnplugAt : m_PlugAt);
    return next;
}

bool CDeviceServer::Wait() {
    enum { kStop, kMaster, kWatch, kControl };
    std::array<pollfd, 4> fds{{{m_Stop.Fd(), POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}}};
    if (m_Line) {
        fds[kMaster] = {m_Line->pty.Master(),
                        static_cast<short>(POLLIN | (m_bWaitWritable ? POLLOUT : 0)), 0};
        fds[kWatch] = {m_Line->watch.Fd(), POLLIN, 0};
    }
    if (m_pControl) fds[kControl] = {m_pControl->Fd(), POLLIN, 0};
    const std::optional<TimePoint> deadline = NextDeadline();
    timespec timeout{};
    if (deadline) timeout = ToTimespec(*deadline - Clock::now());
    if (RetryOnEintr([&] {
            return ::ppoll(fds.data(), fds.size(), deadline ? &timeout : nullptr, nullptr);
        }) < 0) {
        throw CSystemError("ppoll", "pty master", errno);
    }
    if (fds[kStop].revents != 0) return false;
    // Never while the simulator holds its own slave descriptor; stop rather than spin.
    if (fds[kMaster].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        throw CSystemError("poll", "pty master " + m_Line->pty.SlavePath(), EIO);
    }
    if (fds[kMaster].revents & POLLIN) Receive(Clock::now());
    if (fds[kMaster].revents & POLLOUT) m_bWaitWritable = false;
    if (fds[kWatch].revents != 0) WatchUse();
    // Last: a command may unplug the line that the events above belong to.
    if (fds[kControl].revents != 0) TakeCommands();
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

void CDeviceServer::TakeCommands() {
    for (const std::string& line : m_pControl->TakeLines()) {
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (const std::string refusal = Command(line); !refusal.empty()) {
            m_Announce("refused: " + EscapeForMessage(line) + ": " + refusal);
        }
    }
}

std::string CDeviceServer::Command(const std::string& line) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    std::string argument;
    std::getline(words >> std::ws, argument);
    while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\t')) {
        argument.pop_back();
    }
    const bool bare = argument.empty();
    if (verb == "connect") {
        if (bare) {
            m_pBench->Connect(m_pBench->First());
            return {};
        }
        const PanelLoad load = LoadPanel(argument, "");
        if (!load.panel) {
            std::string problems;
            for (const std::string& problem : load.problems)
                problems += (problems.empty() ? "" : "; ") + problem;
            return problems;
        }
        m_pBench->Connect(*load.panel);
        return {};
    }
    if (!bare) return verb + " takes nothing after it";
    if (verb == "disconnect") return m_pBench->Disconnect() ? "" : "no panel is connected";
    if (verb == "unplug") {
        if (!m_Line) return "the line is unplugged already";
        Unplug(std::nullopt);
        return {};
    }
    if (verb == "plug") {
        if (m_Line) return "the line is plugged in already";
        PlugIn();
        return {};
    }
    return "not a command; the commands are connect [TABLE], disconnect, unplug and plug";
}

}  // namespace keltrove::device
