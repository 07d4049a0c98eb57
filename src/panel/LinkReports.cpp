#include "LinkReports.h"

namespace keltrove {

CLinkReports::CLinkReports(PostHook post) : m_Post(std::move(post)) {}

void CLinkReports::PortClosed() {
    m_nGeneration.fetch_add(1);
    m_bNotifyPending.store(false);
    m_bChangePending.store(false);
    // A queue-full report being shown clears its own mark when it is closed.
    if (!m_bFullShowing) m_bFullPending.store(false);
    m_nDropped.store(0);
}

void CLinkReports::OnRxNotify(std::uint16_t portTag) {
    if (m_bNotifyPending.exchange(true)) return;
    m_Post({LinkReport::Kind::Notify, portTag, m_nGeneration.load(), {}, 0});
}

void CLinkReports::OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) {
    m_nDropped.fetch_add(droppedBytes);
    if (m_bFullPending.exchange(true)) return;
    m_Post({LinkReport::Kind::QueueFull, portTag, m_nGeneration.load(), {}, 0});
}

void CLinkReports::OnPortChanged(std::uint16_t portTag) {
    if (m_bChangePending.exchange(true)) return;
    m_Post({LinkReport::Kind::PortChanged, portTag, m_nGeneration.load(), {}, 0});
}

void CLinkReports::OnLinkLost(std::uint16_t portTag, std::string reason) {
    m_Post({LinkReport::Kind::Lost, portTag, m_nGeneration.load(), std::move(reason), 0});
}

std::optional<LinkReport> CLinkReports::Receive(const LinkReport& report) {
    // PortClosed has already cleared the marks of a stale report.
    if (report.generation != m_nGeneration.load()) return std::nullopt;
    LinkReport taken = report;
    if (report.kind == LinkReport::Kind::Notify) {
        // Cleared before the drain, so bytes stored meanwhile bring a new notification.
        m_bNotifyPending.store(false);
    } else if (report.kind == LinkReport::Kind::PortChanged) {
        m_bChangePending.store(false);  // before the port is tried: a later change reports
    } else if (report.kind == LinkReport::Kind::QueueFull) {
        m_bFullShowing = true;
        taken.dropped = m_nDropped.exchange(0);
    }
    return taken;
}

void CLinkReports::QueueFullShown(std::uint16_t portTag) {
    m_bFullShowing = false;
    // Bytes dropped while the report was shown are reported now, not only once another drop
    // follows; whichever of this and the watcher sets the mark first posts.
    m_bFullPending.store(false);
    if (m_nDropped.load() > 0 && !m_bFullPending.exchange(true)) {
        m_Post({LinkReport::Kind::QueueFull, portTag, m_nGeneration.load(), {}, 0});
    }
}

}  // namespace keltrove
