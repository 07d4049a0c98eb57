#include "WindowDpi.h"

#include "GdiHandles.h"

namespace keltrove {

UINT WindowDpi(HWND hWnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    // Windows 10 1607 and later; looked up once, since older systems lack it.
    static const auto getDpiForWindow = [] {
        const FARPROC proc = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
        return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(proc));
    }();
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hWnd); dpi != 0) return dpi;
    }
    const CWindowDC screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace keltrove
