// WindowChrome: what the main window has besides its controls: its icons, the system menu's
// about item (string IDS_ABOUT), and the tooltips of its buttons. GUI thread only.
#pragma once

#include <windows.h>

namespace keltrove {

// Sets the window's icons and adds the about item to its system menu; returns the large
// icon, which is shared (the system's, never destroyed).
HICON SetUpChrome(HINSTANCE instance, HWND dialog);

// The window's tooltip control, which wraps its lines, with the buttons' tips in it; it is
// the dialog's, destroyed with it.
HWND MakeTooltips(HINSTANCE instance, HWND dialog);

}  // namespace keltrove
