#include "LinkReports.h"

namespace keltrove {

CLinkReports::CLinkReports(PostHook post, ILinkReportSink& sink)
    : m_Post(std::move(post)), m_Sink(sink) {}

void CLinkReports::PortClosed() {
    m_nGeneration.fetch_add(1);
    m_bNotifyPending.store(false);
    // A queue-full report being shown clears its own mark when it is closed.
    if (!m_bFullShowing) m_bFullPending.store(false);
    m_nDropped.store(0);
}

void CLinkReports::OnRxNotify(std::uint16_t portTag) {
    if (m_bNotifyPending.exchange(true)) return;
    m_Post({LinkReport::Kind::Notify, portTag, m_nGeneration.load(), {}});
}

void CLinkReports::OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) {
    m_nDropped.fetch_add(droppedBytes);
    if (m_bFullPending.exchange(true)) return;
    m_Post({LinkReport::Kind::QueueFull, portTag, m_nGeneration.load(), {}});
}

void CLinkReports::OnLinkLost(std::uint16_t portTag, std::string reason) {
    m_Post({LinkReport::Kind::Lost, portTag, m_nGeneration.load(), std::move(reason)});
}

void CLinkReports::Deliver(const LinkReport& report) {
    // PortClosed has already cleared the marks of a stale report.
    if (report.generation != m_nGeneration.load()) return;
    switch (report.kind) {
        case LinkReport::Kind::Notify:
            // Cleared before the drain, so bytes stored meanwhile bring a new notification.
            m_bNotifyPending.store(false);
            m_Sink.OnRxNotify();
            break;
        case LinkReport::Kind::QueueFull:
            m_bFullShowing = true;
            m_Sink.OnQueueFull(report.portTag, m_nDropped.exchange(0));
            m_bFullShowing = false;
            // The box is closed: the next drop may report. Bytes dropped while it was open
            // are reported now, not only once another drop follows; whichever of this and
            // the watcher sets the mark first posts.
            m_bFullPending.store(false);
            if (m_nDropped.load() > 0 && !m_bFullPending.exchange(true)) {
                m_Post({LinkReport::Kind::QueueFull, report.portTag, m_nGeneration.load(), {}});
            }
            break;
        case LinkReport::Kind::Lost:
            m_Sink.OnLinkLost(report.portTag, report.reason);
            break;
    }
}

}  // namespace keltrove
