#include "WatchComm.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "LinkEvents.h"
#include "SystemError.h"
#include "WatchedPort.h"

namespace keltrove {

std::string HangUpReason(const std::string& device, short revents) {
    if ((revents & POLLNVAL) != 0) return device + ": the descriptor is no longer valid";
    if ((revents & POLLERR) != 0) return device + ": the device reported an error";
    if ((revents & POLLHUP) != 0) return device + ": the device hung up";
    return {};
}

std::string CWatchComm::Start(IWatchedPort& port, int fd, ILinkEvents* events) {
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.IsValid()) return "cannot make its wake-up descriptor: " + SystemMessage(errno);
    const int wakeFd = wake.Get();
    m_WakeFd = std::move(wake);
    m_strLost.clear();
    m_bRunning.store(true, std::memory_order_release);
    try {
        m_Thread =
            std::thread(&CWatchComm::ThreadWatchComm, this, std::ref(port), fd, events, wakeFd);
    } catch (const std::system_error& error) {
        m_bRunning.store(false, std::memory_order_release);
        m_WakeFd.Reset();
        return "cannot start its thread: " + SystemMessage(error.code().value());
    }
    return {};
}

void CWatchComm::Stop() {
    if (!m_Thread.joinable()) return;
    const std::uint64_t one = 1;
    // Cannot fail but for EINTR: the counter is far from overflowing.
    while (::write(m_WakeFd.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_Thread.join();
    m_WakeFd.Reset();  // only now: never close a descriptor another thread polls
}

void CWatchComm::ThreadWatchComm(IWatchedPort& port, int fd, ILinkEvents* events, int wakeFd) {
    std::string lost;
    while (port.IsLinkUp()) {
        std::array<pollfd, 2> fds{{{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            lost = DescribeSystemError(port.PortName(), errno, "poll");
            break;
        }
        // Only Stop writes the eventfd, after clearing the run flag: the loop test ends it.
        if (fds[1].revents != 0) continue;
        if (fds[0].revents == 0) continue;
        if (!DrainPort(port, events, lost)) break;
        lost = HangUpReason(port.PortName(), fds[0].revents);
        if (!lost.empty()) break;  // hung up with nothing left to read: do not spin on it
    }
    m_strLost = lost;
    m_bRunning.store(false, std::memory_order_release);
    // A loss found while Close is stopping the watcher goes unreported: the port is going.
    if (!lost.empty() && events != nullptr && port.IsLinkUp()) {
        events->OnLinkLost(port.PortTag(), std::move(lost));
    }
}

bool CWatchComm::DrainPort(IWatchedPort& port, ILinkEvents* events, std::string& lost) {
    std::array<std::uint8_t, kChunkSize> chunk;
    for (;;) {
        // Close is waiting to join: stop here, without notifying; Close discards the rest.
        if (!port.IsLinkUp()) return true;
        const std::uint32_t length = port.ReadPort(chunk.data(), kChunkSize, &lost);
        if (length == 0) break;
        port.StoreReceived(chunk.data(), length, events);
    }
    if (events != nullptr) events->OnRxNotify(port.PortTag());
    return lost.empty();
}

}  // namespace keltrove
