#include "EntryFields.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <exception>

#include "DialogTemplate.h"
#include "FieldText.h"
#include "Frame.h"
#include "SystemError.h"
#include "ValueFont.h"
#include "WindowDpi.h"
#include "WindowLook.h"
#include "WindowTexts.h"

namespace keltrove {

namespace {

std::wstring WindowText(HWND hWnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring Clipboard(HWND owner) {
    std::wstring clip;
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT) || !::OpenClipboard(owner)) return clip;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            clip = text;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return clip;
}

// What a field may not act on while a write runs.
bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_PASTE ||
           message == WM_CUT || message == WM_CLEAR || message == WM_UNDO;
}

}  // namespace

void CEntryFields::Attach(HWND dialog, HWND tooltip, Refused refused,
                          std::function<bool()> dropsInput) {
    m_hDialog = dialog;
    m_hTooltip = tooltip;
    m_Refused = std::move(refused);
    m_DropsInput = std::move(dropsInput);
    m_FrameBrush.Reset(
        ::CreateSolidBrush(RGB(kDiffersFrame.red, kDiffersFrame.green, kDiffersFrame.blue)));
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const HWND field = Field(entry);
        ::SendMessageW(field, EM_LIMITTEXT, kValueSize, 0);
        ::SetWindowSubclass(field, FieldProc, static_cast<UINT_PTR>(entry),
                            reinterpret_cast<DWORD_PTR>(this));
        std::wstring tip = Widen(FieldTip(entry));
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = m_hDialog;
        info.uId = reinterpret_cast<UINT_PTR>(field);
        info.lpszText = tip.data();
        ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

HWND CEntryFields::Field(int entry) const {
    return ::GetDlgItem(m_hDialog, EntryControlId(entry));
}

FieldTexts CEntryFields::Texts() const {
    FieldTexts texts;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        texts[EntryIndex(entry)] = Narrow(WindowText(Field(entry)));
    }
    return texts;
}

void CEntryFields::ShowTexts(const FieldTexts& texts) {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const HWND field = Field(entry);
        const std::wstring text = Widen(texts[EntryIndex(entry)]);
        if (WindowText(field) != text) ::SetWindowTextW(field, text.c_str());
    }
}

void CEntryFields::SetValueFont(int entry) {
    if (!m_ValueFont) m_ValueFont = MakeValueFont(m_hDialog, WindowDpi(m_hDialog));
    m_ValueFields.Add(entry);
    ::SendMessageW(Field(entry), WM_SETFONT, reinterpret_cast<WPARAM>(m_ValueFont.Get()), TRUE);
}

void CEntryFields::OnDpiChanged(UINT dpi) {
    if (!m_ValueFont) return;
    UniqueFont font = MakeValueFont(m_hDialog, dpi);
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (!m_ValueFields.Has(entry)) continue;
        ::SendMessageW(Field(entry), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
    m_ValueFont = std::move(font);
}

void CEntryFields::Mark(int entry, FieldMark mark, const std::string& tooltip) {
    const bool differs = mark == FieldMark::Differs;
    if (m_Differs.Has(entry) != differs) {
        differs ? m_Differs.Add(entry) : m_Differs.Remove(entry);
        // The field itself is repainted too: the dialog's painting is not clipped to it.
        const RECT frame = FrameOf(entry);
        ::RedrawWindow(m_hDialog, &frame, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    SetTip(entry, tooltip);
    // A refusal is news now, not only once the mouse happens to rest on the field.
    const HWND field = Field(entry);
    if (mark == FieldMark::Refused && ::IsWindowVisible(field)) {
        const std::wstring title = Widen(FieldTip(entry));
        const std::wstring text = Widen(tooltip);
        EDITBALLOONTIP balloon{sizeof balloon, title.c_str(), text.c_str(), TTI_WARNING};
        ::SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&balloon));
    }
}

void CEntryFields::PaintFrames(HDC hDC) const {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (!m_Differs.Has(entry)) continue;
        RECT frame = FrameOf(entry);
        for (int line = 0; line < kDiffersFrameWidth; ++line) {
            ::FrameRect(hDC, &frame, m_FrameBrush.Get());
            ::InflateRect(&frame, -1, -1);
        }
    }
}

// Just outside the field's own border, in client pixels.
RECT CEntryFields::FrameOf(int entry) const {
    RECT rect{};
    ::GetWindowRect(Field(entry), &rect);
    ::MapWindowPoints(HWND_DESKTOP, m_hDialog, reinterpret_cast<POINT*>(&rect), 2);
    ::InflateRect(&rect, kDiffersFrameWidth, kDiffersFrameWidth);
    return rect;
}

void CEntryFields::SetTip(int entry, const std::string& text) const {
    std::wstring tip = Widen(text);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = m_hDialog;
    info.uId = reinterpret_cast<UINT_PTR>(Field(entry));
    info.lpszText = tip.data();
    ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT CALLBACK CEntryFields::FieldProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR entry, DWORD_PTR self) {
    auto& fields = *reinterpret_cast<CEntryFields*>(self);
    try {
        if (fields.m_DropsInput() && IsInput(message)) return 0;
        switch (message) {
            case WM_CHAR:
                return fields.OnChar(hWnd, static_cast<int>(entry), wParam, lParam);
            case WM_PASTE:
                return fields.OnPaste(hWnd, static_cast<int>(entry));
            case WM_NCDESTROY:
                ::RemoveWindowSubclass(hWnd, FieldProc, entry);
                break;
            default:
                break;
        }
    } catch (const std::exception& error) {
        // No exception may cross the system's code that called this.
        ::MessageBoxW(fields.m_hDialog, Widen(error.what()).c_str(), Widen(kCaption).c_str(),
                      MB_OK | MB_ICONERROR);
        return 0;
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

LRESULT CEntryFields::OnChar(HWND field, int entry, WPARAM wParam, LPARAM lParam) {
    const auto unit = static_cast<wchar_t>(wParam);
    if (IS_HIGH_SURROGATE(unit)) {
        m_wPendingHigh = unit;
        return 0;
    }
    std::wstring refused;
    if (IS_LOW_SURROGATE(unit) && m_wPendingHigh != 0) {
        refused = {m_wPendingHigh, unit};
    } else if (unit >= 0x20 && !IsFieldCharacter(unit)) {
        refused = {unit};
    }
    m_wPendingHigh = 0;
    if (refused.empty()) return ::DefSubclassProc(field, WM_CHAR, wParam, lParam);
    m_Refused(entry, Narrow(refused));
    return 0;
}

LRESULT CEntryFields::OnPaste(HWND field, int entry) {
    const FieldInput input = PasteInput(Narrow(Clipboard(field)));
    // The limit of four characters applies as to typing.
    const std::wstring kept = Widen(input.kept);
    ::SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
    if (!input.refused.empty()) m_Refused(entry, input.refused);
    return 0;
}

}  // namespace keltrove
