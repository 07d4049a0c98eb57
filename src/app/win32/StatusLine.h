// StatusLine: the status text drawn onto the main dialog, outside any control.
//
// The text stands on yellow at the top left of the status rectangle (WindowLook.h), scaled
// from 96 dpi to the window's, on one line, clipped to that rectangle and under every
// control but the group boxes, which are drawn over the dialog's own background. It is
// drawn at once, even while a write keeps the thread from its messages, and kept for
// WM_PAINT. GUI thread only; cannot fail.
#pragma once

#include <windows.h>

#include <string>

namespace keltrove {

class CStatusLine {
public:
    void Attach(HWND dialog) { m_hDialog = dialog; }

    // Shows `text` (UTF-8) now; the same text again costs nothing.
    void Show(const std::string& text);
    // Draws the kept text into the dialog's WM_PAINT.
    void Paint(HDC hDC) const;

private:
    void Draw(HDC hDC) const;

    HWND m_hDialog = nullptr;
    std::wstring m_strText;
};

}  // namespace keltrove
