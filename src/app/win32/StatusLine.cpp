#include "StatusLine.h"

#include "GdiHandles.h"
#include "SystemError.h"
#include "WindowDpi.h"
#include "WindowLook.h"

namespace keltrove {

namespace {

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
    const UINT dpi = WindowDpi(m_hDialog);
    RECT rect{ScaleTo(kStatusRect.left, dpi), ScaleTo(kStatusRect.top, dpi),
              ScaleTo(kStatusRect.right, dpi), ScaleTo(kStatusRect.bottom, dpi)};
    const CSavedDC saved(hDC);
    ClipControls(m_hDialog, hDC);
    // What an earlier, longer text left goes first.
    ::FillRect(hDC, &rect, ::GetSysColorBrush(COLOR_3DFACE));
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(m_hDialog, WM_GETFONT, 0, 0));
    if (font != nullptr) ::SelectObject(hDC, font);
    // Opaque: yellow behind the text itself, its trailing blanks included.
    ::SetBkMode(hDC, OPAQUE);
    ::SetBkColor(hDC, RGB(kStatusBackground.red, kStatusBackground.green, kStatusBackground.blue));
    ::SetTextColor(hDC, RGB(0, 0, 0));
    ::DrawTextW(hDC, m_strText.c_str(), static_cast<int>(m_strText.size()), &rect,
                DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);
}

}  // namespace keltrove
