#include "StopSignals.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <thread>

#include "StopRequest.h"
#include "SystemError.h"

namespace keltrove::cli {

// The stop signals as a descriptor, and a thread that waits on it and turns a signal into
// the request; an eventfd of our own ends the thread when the program ends normally.
struct CStopRequest::Platform {
    CStopSignals signals;
    UniqueFd done{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::thread waiter;
};

CStopRequest::CStopRequest() : m_pPlatform(std::make_unique<Platform>()) {
    Platform& platform = *m_pPlatform;
    if (!platform.signals.Error().empty() || !platform.done.IsValid()) return;  // default action
    platform.waiter = std::thread([this, &platform] {
        std::array<pollfd, 2> fds{
            {{platform.signals.Fd(), POLLIN, 0}, {platform.done.Get(), POLLIN, 0}}};
        while (RetryOnEintr([&] { return ::poll(fds.data(), fds.size(), -1); }) >= 0) {
            if (fds[1].revents != 0) return;
            if (platform.signals.Take() != 0) Request();
        }
    });
}

CStopRequest::~CStopRequest() {
    if (!m_pPlatform->waiter.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_pPlatform->done.Get(), &one, sizeof one);
    m_pPlatform->waiter.join();
}

}  // namespace keltrove::cli
