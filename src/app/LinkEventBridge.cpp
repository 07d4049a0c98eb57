#include "LinkEventBridge.h"

#include <QCoreApplication>
#include <QEvent>

#include "PrivateEvents.h"

#if defined(__SANITIZE_THREAD__)
#define KELTROVE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELTROVE_TSAN 1
#endif
#endif
#ifdef KELTROVE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace keltrove {

namespace {

QEvent::Type ReportEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// One report of the watcher, stamped with the port's generation at the time.
class CReportEvent final : public QEvent {
public:
    enum class Kind { Notify, QueueFull, Lost };
    CReportEvent(Kind kind, std::uint16_t portId, unsigned generation, std::string reason = {})
        : QEvent(ReportEventType()),
          m_Kind(kind),
          m_wPortId(portId),
          m_nGeneration(generation),
          m_strReason(std::move(reason)) {}
    const Kind m_Kind;
    const std::uint16_t m_wPortId;
    const unsigned m_nGeneration;
    const std::string m_strReason;
};

// Qt delivers a posted event only after it was made, but orders the two under locks that
// ThreadSanitizer cannot see (Qt is not instrumented), so an event made on the watcher's
// thread and read here would look raced. In a TSan build these two state that order.
void MarkPosting([[maybe_unused]] QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_release(receiver);
#endif
}

void MarkDelivered([[maybe_unused]] QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_acquire(receiver);
#endif
}

}  // namespace

CLinkEventBridge::CLinkEventBridge(QObject& window) : m_Window(window) {}

void CLinkEventBridge::PortClosed() {
    m_nGeneration.fetch_add(1);
    QCoreApplication::removePostedEvents(this, ReportEventType());
    m_bNotifyPending.store(false);
    // A queue-full box still open clears its own mark when it closes.
    if (!m_bFullShowing) m_bFullPending.store(false);
    m_nDropped.store(0);
}

void CLinkEventBridge::OnRxNotify(std::uint16_t portId) {
    if (m_bNotifyPending.exchange(true)) return;
    Post(new CReportEvent(CReportEvent::Kind::Notify, portId, m_nGeneration.load()));
}

void CLinkEventBridge::OnQueueFull(std::uint16_t portId, std::uint32_t droppedBytes) {
    m_nDropped.fetch_add(droppedBytes);
    if (m_bFullPending.exchange(true)) return;
    Post(new CReportEvent(CReportEvent::Kind::QueueFull, portId, m_nGeneration.load()));
}

void CLinkEventBridge::OnLinkLost(std::uint16_t portId, std::string reason) {
    Post(new CReportEvent(CReportEvent::Kind::Lost, portId, m_nGeneration.load(),
                          std::move(reason)));
}

void CLinkEventBridge::Post(QEvent* event) {
    MarkPosting(this);
    QCoreApplication::postEvent(this, event);  // takes the event
}

bool CLinkEventBridge::event(QEvent* event) {
    MarkDelivered(this);
    if (event->type() != ReportEventType()) return QObject::event(event);
    const auto& report = static_cast<const CReportEvent&>(*event);
    const bool current = report.m_nGeneration == m_nGeneration.load();
    switch (report.m_Kind) {
        case CReportEvent::Kind::Notify: {
            // Cleared before the drain, so bytes stored meanwhile bring a new notification.
            m_bNotifyPending.store(false);
            if (!current) break;
            QEvent notify(WM_RX_NOTIFY);
            QCoreApplication::sendEvent(&m_Window, &notify);
            break;
        }
        case CReportEvent::Kind::QueueFull:
            if (current) {
                m_bFullShowing = true;
                emit queueFull(report.m_wPortId, m_nDropped.exchange(0));
                m_bFullShowing = false;
            }
            m_bFullPending.store(false);  // the box is closed: the next drop may report
            break;
        case CReportEvent::Kind::Lost:
            if (current)
                emit linkLost(report.m_wPortId, QString::fromStdString(report.m_strReason));
            break;
    }
    return true;
}

}  // namespace keltrove
