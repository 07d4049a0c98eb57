// DialogTimers: the window's reply and gap timers, run only while the session asks.
//
// The session's countdowns need their ticks only while they count, so each timer runs from
// the moment its countdown is armed until it goes idle, and the window costs nothing while
// it waits. The 10 ms gap timer is precise, since its ticks time the gap between received
// bytes. GUI thread only (the thread of the object the timers deliver to).
#pragma once

#include <QBasicTimer>
#include <array>
#include <optional>

#include "Interfaces.h"

class QObject;
class QTimerEvent;

namespace keltrove {

class CDialogTimers final : public ITickTimers {
public:
    // Ticks arrive at `receiver` as QTimerEvents.
    explicit CDialogTimers(QObject& receiver) : m_Receiver(receiver) {}

    void SetTicking(TickTimer timer, bool on) override;
    // Stops both, for good: the window is ending.
    void StopAll();

    // Which timer a Qt timer event belongs to, or nothing when it is not one of these.
    std::optional<TickTimer> TimerOf(const QTimerEvent& event) const;

private:
    QObject& m_Receiver;
    std::array<QBasicTimer, 2> m_Timers;  // Reply, Gap
    bool m_bStopped = false;
};

}  // namespace keltrove
