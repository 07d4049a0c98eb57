// EntryFields: the 32 entry fields of the main window: their texts, tooltips and marks, the
// value font, and what they take from the keyboard and the clipboard.
//
// A field takes four characters, and only those FieldText.h allows: a typed character it may
// not hold, or the part of a paste it may not hold, is refused and reported; a paste gives
// its first line only. Characters below U+0020 typed are the edit control's own keys
// (Backspace, Ctrl+V and the like). While a write runs, the fields take nothing. A field
// that differs from the panel gets a red frame, drawn by PaintFrames into the dialog's
// WM_PAINT; a refusal shows its tooltip as a balloon at once. GUI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "EntryTable.h"
#include "GdiHandles.h"
#include "PanelWindow.h"

namespace keltrove {

class CEntryFields {
public:
    using Refused = std::function<void(int entry, const std::string& refused)>;

    // `refused` hears what a field left out; `dropsInput` says whether a write runs.
    void Attach(HWND dialog, HWND tooltip, Refused refused, std::function<bool()> dropsInput);

    FieldTexts Texts() const;
    // Changes only the fields whose text differs, so that a cursor stays where it is.
    void ShowTexts(const FieldTexts& texts);
    void SetValueFont(int entry);
    // The window moved to a screen of another dpi: the value font is made again.
    void OnDpiChanged(UINT dpi);
    void Mark(int entry, FieldMark mark, const std::string& tooltip);
    void PaintFrames(HDC hDC) const;

private:
    static LRESULT CALLBACK FieldProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR entry, DWORD_PTR self);
    LRESULT OnChar(HWND field, int entry, WPARAM wParam, LPARAM lParam);
    LRESULT OnPaste(HWND field, int entry);
    HWND Field(int entry) const;
    RECT FrameOf(int entry) const;
    void SetTip(int entry, const std::string& text) const;

    HWND m_hDialog = nullptr;
    HWND m_hTooltip = nullptr;
    Refused m_Refused;
    std::function<bool()> m_DropsInput;
    UniqueFont m_ValueFont;      // made for the first received value
    UniqueBrush m_FrameBrush;    // the red frame
    EntrySet m_ValueFields;      // the fields in the value font
    EntrySet m_Differs;          // the fields with a red frame
    wchar_t m_wPendingHigh = 0;  // a surrogate's first half, waiting for its second
};

}  // namespace keltrove
