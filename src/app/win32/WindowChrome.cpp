#include "WindowChrome.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
// clang-format on

#include <string>
#include <utility>

#include "SystemError.h"
#include "WindowDpi.h"
#include "WindowTexts.h"
#include "resource.h"

namespace keltrove {

namespace {

constexpr int kTipWidth96 = 400;  // tooltips wrap at this many pixels at 96 dpi

// A string of the resources; LoadString's pointer into them, which are not NUL-ended.
std::wstring LoadText(HINSTANCE instance, UINT id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

}  // namespace

HICON SetUpChrome(HINSTANCE instance, HWND dialog) {
    const auto load = [instance](int cx, int cy) {
        return static_cast<HICON>(
            ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, cx, cy, LR_SHARED));
    };
    const HICON icon = load(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(
                       load(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON))));
    const HMENU menu = ::GetSystemMenu(dialog, FALSE);
    const std::wstring about = LoadText(instance, IDS_ABOUT);
    if (menu != nullptr && !about.empty()) {
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    return icon;
}

void CDeviceNotice::Start(HWND window) {
    // GUID_DEVINTERFACE_COMPORT: the serial ports' device interface class.
    constexpr GUID kComPorts{
        0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPorts;
    m_hNotify = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void CDeviceNotice::Stop() {
    if (m_hNotify != nullptr) ::UnregisterDeviceNotification(m_hNotify);
    m_hNotify = nullptr;
}

HWND MakeTooltips(HINSTANCE instance, HWND dialog) {
    const HWND tooltip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, instance, nullptr);
    // A width lets the tooltips break their lines at '\n'.
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleTo(kTipWidth96, WindowDpi(dialog)));
    for (const auto& [id, intent] :
         {std::pair{IDC_READ, Intent::Read}, std::pair{IDC_WRITE, Intent::Write},
          std::pair{IDC_EXIT, Intent::Close}}) {
        std::wstring tip = Widen(ButtonTip(intent));
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = dialog;
        info.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(dialog, id));
        info.lpszText = tip.data();
        ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return tooltip;
}

}  // namespace keltrove
