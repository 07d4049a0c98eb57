#include "DialogTimers.h"

#include <QTimerEvent>

namespace keltrove {

namespace {

std::size_t Slot(TickTimer timer) {
    return timer == TickTimer::Reply ? 0 : 1;
}

}  // namespace

void CDialogTimers::SetTicking(TickTimer timer, bool on) {
    QBasicTimer& qt = m_Timers[Slot(timer)];
    if (!on || m_bStopped) {
        qt.stop();
    } else if (!qt.isActive()) {
        const auto period = timer == TickTimer::Reply ? kReplyTickPeriod : kGapTickPeriod;
        // Coarse timers may be off by 5 %, which is nothing for the 50 ms one.
        qt.start(static_cast<int>(period.count()),
                 timer == TickTimer::Gap ? Qt::PreciseTimer : Qt::CoarseTimer, &m_Receiver);
    }
}

void CDialogTimers::StopAll() {
    m_bStopped = true;
    for (QBasicTimer& timer : m_Timers) timer.stop();
}

std::optional<TickTimer> CDialogTimers::TimerOf(const QTimerEvent& event) const {
    if (m_Timers[0].timerId() == event.timerId()) return TickTimer::Reply;
    if (m_Timers[1].timerId() == event.timerId()) return TickTimer::Gap;
    return std::nullopt;
}

}  // namespace keltrove
