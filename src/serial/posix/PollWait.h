// PollWait: waiting on one descriptor with poll(), up to an optional deadline, for the port's
// writes and the socket's. Callable from any thread; no failures beyond what it returns.
#pragma once

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <optional>

namespace keltrove {

using PollClock = std::chrono::steady_clock;

// Milliseconds until `deadline`, rounded up so that a wait never ends before it; -1 (wait
// without limit) when there is no deadline.
inline int MillisecondsUntil(const std::optional<PollClock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - PollClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` reports one of `events` or a hang-up or error, or `deadline` passes. The
// flags it reported; 0 when the deadline passed; POLLERR when poll() itself failed.
inline short WaitForPoll(int fd, short events,
                         const std::optional<PollClock::time_point>& deadline) {
    for (;;) {
        const int timeout = MillisecondsUntil(deadline);
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, timeout);
        if (ready > 0) return watched.revents;
        if (ready < 0 && errno != EINTR) return POLLERR;
        if (ready == 0 && timeout == 0) return 0;  // the deadline has passed
    }
}

}  // namespace keltrove
