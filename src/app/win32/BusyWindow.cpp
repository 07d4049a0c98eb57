#include "BusyWindow.h"

#include <utility>
#include <vector>

#include "resource.h"

namespace keltrove {

void CBusyWindow::Show(Activity activity, const std::function<bool(Intent)>& allows) {
    const bool wasDropping = DropsInputDuring(m_Activity);
    m_Activity = activity;
    if (wasDropping && !DropsInputDuring(activity)) DropQueuedInput();
    if (activity != Activity::Idle && m_hFocus == nullptr) m_hFocus = ::GetFocus();
    constexpr std::pair<int, Intent> kControls[] = {{IDC_READ, Intent::Read},
                                                    {IDC_WRITE, Intent::Write},
                                                    {IDC_EXIT, Intent::Close},
                                                    {IDC_PORT_LIST, Intent::ChoosePort}};
    for (const auto& [id, intent] : kControls) {
        const HWND control = ::GetDlgItem(m_hWnd, id);
        const bool enable = allows(intent);
        if (control == nullptr || (::IsWindowEnabled(control) != FALSE) == enable) continue;
        ::EnableWindow(control, enable ? TRUE : FALSE);
        if (!enable) ::UpdateWindow(control);
    }
    if (activity != Activity::Idle) return;
    if (::GetFocus() == nullptr && m_hFocus != nullptr && ::IsWindow(m_hFocus)) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hFocus), TRUE);
    }
    m_hFocus = nullptr;
}

void CBusyWindow::DropQueuedInput() const {
    std::vector<HWND> windows{m_hWnd};
    ::EnumChildWindows(
        m_hWnd,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    constexpr std::pair<UINT, UINT> kInput[] = {{WM_KEYFIRST, WM_KEYLAST},
                                                {WM_MOUSEFIRST, WM_MOUSELAST},
                                                {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    MSG message;
    for (const HWND window : windows) {
        for (const auto& [first, last] : kInput) {
            while (::PeekMessageW(&message, window, first, last, PM_REMOVE)) {
            }
        }
    }
}

}  // namespace keltrove
