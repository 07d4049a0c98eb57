#include "PortUseWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

#include "OsError.h"

namespace keltrove::device {

CPortUseWatch::CPortUseWatch(const std::string& slavePath)
    : m_Watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_strPath(slavePath) {
    if (!m_Watch.IsValid()) throw CSystemError("inotify_init1", "", errno);
    if (inotify_add_watch(m_Watch.Get(), slavePath.c_str(),
                          IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) == -1) {
        throw CSystemError("inotify_add_watch", slavePath, errno);
    }
}

std::vector<PortUse> CPortUseWatch::Drain() {
    std::vector<PortUse> changes;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got =
            RetryOnEintr([&] { return ::read(m_Watch.Get(), buffer, sizeof buffer); });
        if (got == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) return changes;
        if (got == -1) throw CSystemError("read", "inotify watch of " + m_strPath, errno);
        if (got == 0) throw CSystemError("read", "inotify watch of " + m_strPath, EIO);
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_OPEN) {
                if (m_nOpen++ == 0) changes.push_back(PortUse::Opened);
            } else if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                if (m_nOpen > 0 && --m_nOpen == 0) changes.push_back(PortUse::Closed);
            }
        }
    }
}

}  // namespace keltrove::device
