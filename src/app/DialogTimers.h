// DialogTimers: the main window's four periodic timers, with ids 1 to 4.
//
// Qt numbers its timers itself; this keeps the Qt timers and maps their events back to
// the window's own ids. The 10 ms timer is precise, since its ticks time the gap between
// received bytes. GUI thread only (the thread of the object the timers are started on).
#pragma once

#include <QBasicTimer>
#include <array>
#include <optional>

#include "ProtocolSession.h"

class QObject;
class QTimerEvent;

namespace keltrove {

class CDialogTimers {
public:
    // Starts all four timers, delivering QTimerEvents to `receiver`.
    void Start(QObject* receiver);
    void Stop();

    // The window's timer id for a Qt timer event, or nothing when it is not one of ours.
    std::optional<unsigned> IdOf(const QTimerEvent& event) const;

private:
    std::array<QBasicTimer, kDialogTimers.size()> m_Timers;
};

}  // namespace keltrove
