#include "DialogTimers.h"

#include <QTimerEvent>

namespace keltrove {

namespace {
// Coarse timers may be off by 5 %, which is nothing for the 50 ms and 1 s ones.
constexpr int kPreciseBelowMs = 20;
}  // namespace

void CDialogTimers::Start(QObject* receiver) {
    for (std::size_t i = 0; i < m_Timers.size(); ++i) {
        const int period = kDialogTimers[i].periodMs;
        m_Timers[i].start(period, period < kPreciseBelowMs ? Qt::PreciseTimer : Qt::CoarseTimer,
                          receiver);
    }
}

void CDialogTimers::Stop() {
    for (QBasicTimer& timer : m_Timers) timer.stop();
}

std::optional<unsigned> CDialogTimers::IdOf(const QTimerEvent& event) const {
    for (std::size_t i = 0; i < m_Timers.size(); ++i) {
        if (m_Timers[i].timerId() == event.timerId()) return kDialogTimers[i].id;
    }
    return std::nullopt;
}

}  // namespace keltrove
