#include "MessageBox.h"

#include "DialogTemplate.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <iterator>
#include <string>
#include <string_view>

#include "SystemError.h"

namespace keltrove {

namespace {

constexpr UINT_PTR kSubclassId = 1;

UINT IconOf(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return MB_ICONINFORMATION;
        case BoxIcon::Warning:
            return MB_ICONWARNING;
        case BoxIcon::None:
            break;
    }
    return 0;
}

// A Yes/No box ends as No where a box with a Cancel button would end as Cancel.
LRESULT CALLBACK YesNoBoxProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                              UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    const bool cancel = (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) ||
                        (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
    if (cancel) {
        ::EndDialog(hWnd, IDNO);
        return 0;
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hWnd, YesNoBoxProc, kSubclassId);
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

// Set while a Yes/No box of this thread is being made; a nested box sets its own.
thread_local HHOOK t_hHook = nullptr;
thread_local HWND t_hOwner = nullptr;

// Catches the box as it is first activated: a dialog owned by the window that asked.
LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = {};
        ::GetClassNameW(box, className, static_cast<int>(std::size(className)));
        if (std::wstring_view(className) == L"#32770" && ::GetWindow(box, GW_OWNER) == t_hOwner) {
            ::SetWindowSubclass(box, YesNoBoxProc, kSubclassId, 0);
            ::EnableMenuItem(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
        }
    }
    return ::CallNextHookEx(t_hHook, code, wParam, lParam);
}

class CBoxCatcher {
public:
    explicit CBoxCatcher(HWND owner) : m_hOldHook(t_hHook), m_hOldOwner(t_hOwner) {
        t_hOwner = owner;
        t_hHook = ::SetWindowsHookExW(WH_CBT, CatchBox, nullptr, ::GetCurrentThreadId());
    }
    ~CBoxCatcher() {
        if (t_hHook != nullptr) ::UnhookWindowsHookEx(t_hHook);
        t_hHook = m_hOldHook;
        t_hOwner = m_hOldOwner;
    }
    CBoxCatcher(const CBoxCatcher&) = delete;
    CBoxCatcher& operator=(const CBoxCatcher&) = delete;

private:
    HHOOK m_hOldHook;
    HWND m_hOldOwner;
};

}  // namespace

MessageAnswer RunMessageBox(HWND owner, const PanelBox& request) {
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    std::string text = request.text;
    if (!request.detail.empty()) text += "\n\n" + request.detail;
    UINT style = (yesNo ? MB_YESNO : MB_OK) | IconOf(request.icon);
    if (yesNo && request.defaultAnswer == MessageAnswer::No) style |= MB_DEFBUTTON2;
    if (!yesNo) {
        ::MessageBoxW(owner, Widen(text).c_str(), Widen(kCaption).c_str(), style);
        return MessageAnswer::Ok;
    }
    const CBoxCatcher catcher(owner);
    const int answer = ::MessageBoxW(owner, Widen(text).c_str(), Widen(kCaption).c_str(), style);
    return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace keltrove
