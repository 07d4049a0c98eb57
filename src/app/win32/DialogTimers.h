// DialogTimers: the window's reply and gap timers, SetTimer timers that run only while the
// session asks for them, so that an idle window costs nothing.
//
// A running timer keeps its phase. StopAll stops both for good: the window is ending. The
// window's thread only.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "Interfaces.h"

namespace keltrove {

class CDialogTimers final : public ITickTimers {
public:
    void Attach(HWND window) { m_hWnd = window; }
    void SetTicking(TickTimer timer, bool on) override;
    void StopAll();
    // Which timer a WM_TIMER's ID belongs to, or nothing.
    static std::optional<TickTimer> TimerOf(WPARAM id);

private:
    HWND m_hWnd = nullptr;
    std::array<bool, 2> m_Ticking{};  // Reply, Gap
    bool m_bStopped = false;
};

}  // namespace keltrove
