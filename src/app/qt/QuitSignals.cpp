#include "QuitSignals.h"

#include <QSocketNotifier>

#include "StopSignals.h"

namespace keltrove {

CQuitSignals::CQuitSignals(CStopSignals& stops, std::function<void()> quit)
    : m_Signals(stops), m_Quit(std::move(quit)) {
    if (m_Signals.Fd() < 0) return;  // the signals keep their default action
    m_pNotifier = new QSocketNotifier(m_Signals.Fd(), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_Signals.Take() != 0) m_Quit();
    });
}

CQuitSignals::~CQuitSignals() = default;

}  // namespace keltrove
