#include "DialogTimers.h"

namespace keltrove {

namespace {

constexpr UINT_PTR kReplyTimer = 1;
constexpr UINT_PTR kGapTimer = 2;

}  // namespace

void CDialogTimers::SetTicking(TickTimer timer, bool on) {
    const std::size_t slot = timer == TickTimer::Reply ? 0 : 1;
    const UINT_PTR id = timer == TickTimer::Reply ? kReplyTimer : kGapTimer;
    if (m_hWnd == nullptr) return;
    if (on && !m_bStopped) {
        if (m_Ticking[slot]) return;
        const auto period = timer == TickTimer::Reply ? kReplyTickPeriod : kGapTickPeriod;
        m_Ticking[slot] = ::SetTimer(m_hWnd, id, static_cast<UINT>(period.count()), nullptr) != 0;
    } else if (m_Ticking[slot]) {
        ::KillTimer(m_hWnd, id);
        m_Ticking[slot] = false;
    }
}

void CDialogTimers::StopAll() {
    m_bStopped = true;
    SetTicking(TickTimer::Reply, false);
    SetTicking(TickTimer::Gap, false);
}

std::optional<TickTimer> CDialogTimers::TimerOf(WPARAM id) {
    if (id == kReplyTimer) return TickTimer::Reply;
    if (id == kGapTimer) return TickTimer::Gap;
    return std::nullopt;
}

}  // namespace keltrove
