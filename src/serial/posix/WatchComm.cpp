// The watcher on POSIX: it sleeps in poll() on the port and on an eventfd that Stop writes.
#include "WatchComm.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "SystemError.h"
#include "UniqueFd.h"
#include "WatchedPort.h"

namespace keltrove {

std::string HangUpReason(const std::string& device, short revents) {
    if ((revents & POLLNVAL) != 0) return device + ": the descriptor is no longer valid";
    if ((revents & POLLERR) != 0) return device + ": the device reported an error";
    if ((revents & POLLHUP) != 0) return device + ": the device hung up";
    return {};
}

class CWatchComm::CWakeup {
public:
    explicit CWakeup(UniqueFd fd) : m_Fd(std::move(fd)) {}
    UniqueFd m_Fd;
};

void CWatchComm::WakeupDeleter::operator()(CWakeup* wakeup) const {
    delete wakeup;
}

CWatchComm::WakeupPtr CWatchComm::MakeWakeup(NativePort /*port*/, std::string& failed) {
    UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.IsValid()) {
        failed = "cannot make its wake-up descriptor: " + SystemMessage(errno);
        return nullptr;
    }
    return WakeupPtr(new CWakeup(std::move(fd)));
}

void CWatchComm::Wake(CWakeup& wakeup) {
    const std::uint64_t one = 1;
    // Cannot fail but for EINTR: the counter is far from overflowing.
    while (::write(wakeup.m_Fd.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

std::string CWatchComm::Watch(IWatchedPort& port, ILinkEvents* events) {
    std::string lost;
    while (port.IsLinkUp()) {
        std::array<pollfd, 2> fds{{{m_hPort, POLLIN, 0}, {m_pWakeup->m_Fd.Get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return DescribeSystemError(port.PortName(), errno, "poll");
        }
        // Only Stop writes the eventfd, after clearing the run flag: the loop test ends it.
        if (fds[1].revents != 0 || fds[0].revents == 0) continue;
        if (!DrainPort(port, events, true, lost)) return lost;
        // Hung up with nothing left to read: do not spin on it.
        if (lost = HangUpReason(port.PortName(), fds[0].revents); !lost.empty()) return lost;
    }
    return {};
}

}  // namespace keltrove
