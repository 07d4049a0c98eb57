// BusyWindow: the main window's controls as the presenter allows them (Allows), and its
// input held off while a write runs or a network port connects.
//
// Show enables Read, Write, Exit and the port list as the presenter allows them now,
// repainting a disabled one at once, since a write holds the thread from its messages. When
// a write ends, the clicks and keys that reached the window meanwhile are removed from the
// queue before the controls take clicks again: a second click on Write must not start a
// second write. A control that loses the focus to a spell gets it back when the spell ends.
// GUI thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "PanelWindow.h"
#include "WindowIntents.h"

namespace keltrove {

class CBusyWindow {
public:
    void Attach(HWND dialog) { m_hWnd = dialog; }

    void Show(Activity activity, const std::function<bool(Intent)>& allows);
    // A write runs, or a network port connects: the window acts on no input meanwhile.
    bool DropsInput() const { return DropsInputDuring(m_Activity); }

private:
    void DropQueuedInput() const;

    HWND m_hWnd = nullptr;
    Activity m_Activity = Activity::Idle;
    HWND m_hFocus = nullptr;  // where the focus was when the spell began
};

}  // namespace keltrove
