#include "StatusLine.h"

#include "GdiHandles.h"
#include "SystemError.h"

namespace keltrove {

namespace {

constexpr RECT kRect96{600, 20, 750, 120};  // at 96 dpi, right and bottom excluded
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr UINT kNeverPosted = WM_APP + 0x3FFF;

bool IsGroupBox(HWND hWnd) {
    wchar_t className[16] = {};
    ::GetClassNameW(hWnd, className, 16);
    return ::lstrcmpiW(className, L"Button") == 0 &&
           (::GetWindowLongW(hWnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// Leaves the visible controls out of the drawing, as if the text lay under them.
void ClipControls(HWND dialog, HDC hDC) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child) || IsGroupBox(child)) continue;
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
        ::ExcludeClipRect(hDC, rect.left, rect.top, rect.right, rect.bottom);
    }
}

}  // namespace

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

void CStatusLine::Show(const std::string& text) {
    std::wstring wide = Widen(text);
    if (wide == m_strText) return;
    m_strText = std::move(wide);
    if (m_hDialog == nullptr) return;
    // Drawn now, not from WM_PAINT: during a write no message is handled until it ends.
    {
        const CWindowDC dc(m_hDialog);
        if (dc.Get() != nullptr) Draw(dc.Get());
    }
    ::GdiFlush();
    // Wine copies a window's drawing to the screen when its thread looks at its queue and
    // finds nothing; this look finds nothing and takes nothing (a message never posted).
    MSG none;
    ::PeekMessageW(&none, m_hDialog, kNeverPosted, kNeverPosted, PM_NOREMOVE);
}

void CStatusLine::Paint(HDC hDC) const {
    if (!m_strText.empty()) Draw(hDC);
}

void CStatusLine::Draw(HDC hDC) const {
    const int dpi = static_cast<int>(WindowDpi(m_hDialog));
    RECT rect{::MulDiv(kRect96.left, dpi, 96), ::MulDiv(kRect96.top, dpi, 96),
              ::MulDiv(kRect96.right, dpi, 96), ::MulDiv(kRect96.bottom, dpi, 96)};
    const CSavedDC saved(hDC);
    ClipControls(m_hDialog, hDC);
    // What an earlier, longer text left goes first.
    ::FillRect(hDC, &rect, ::GetSysColorBrush(COLOR_3DFACE));
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(m_hDialog, WM_GETFONT, 0, 0));
    if (font != nullptr) ::SelectObject(hDC, font);
    // Opaque: yellow behind the text itself, its trailing blanks included.
    ::SetBkMode(hDC, OPAQUE);
    ::SetBkColor(hDC, kYellow);
    ::SetTextColor(hDC, RGB(0, 0, 0));
    ::DrawTextW(hDC, m_strText.c_str(), static_cast<int>(m_strText.size()), &rect,
                DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);
}

}  // namespace keltrove
