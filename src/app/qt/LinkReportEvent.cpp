#include "LinkReportEvent.h"

#include <QCoreApplication>
#include <QEvent>

#include "PrivateMessages.h"

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

class CLinkReportEvent final : public QEvent {
public:
    explicit CLinkReportEvent(LinkReport report)
        : QEvent(report.kind == LinkReport::Kind::Notify ? QEvent::Type(WM_RX_NOTIFY)
                                                         : ReportEventType()),
          m_Report(std::move(report)) {}
    const LinkReport m_Report;
};

// Qt delivers a posted event only after it was made, but orders the two under locks that
// ThreadSanitizer cannot see (Qt is not instrumented), so an event made on the watcher's
// thread and read on the window's would look raced. In a TSan build these two state that
// order.
void MarkPosting([[maybe_unused]] const QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_release(const_cast<QObject*>(receiver));
#endif
}

void MarkDelivered([[maybe_unused]] const QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_acquire(const_cast<QObject*>(receiver));
#endif
}

}  // namespace

void PostLinkReport(QObject& window, LinkReport report) {
    auto* event = new CLinkReportEvent(std::move(report));
    MarkPosting(&window);  // after the event is made: its making is what must be seen
    QCoreApplication::postEvent(&window, event);
}

const LinkReport* LinkReportIn(const QObject& window, const QEvent& event) {
    if (event.type() != QEvent::Type(WM_RX_NOTIFY) && event.type() != ReportEventType())
        return nullptr;
    MarkDelivered(&window);  // before the first look inside the event
    const auto* report = dynamic_cast<const CLinkReportEvent*>(&event);
    return report == nullptr ? nullptr : &report->m_Report;
}

}  // namespace keltrove
