// WindowChrome: what the main window has besides its controls: its icons, the system menu's
// about item (string IDS_ABOUT), and the tooltips of its buttons. GUI thread only.
#pragma once

#include <windows.h>

namespace keltrove {

// Sets the window's icons and adds the about item to its system menu; returns the large
// icon, which is shared (the system's, never destroyed).
HICON SetUpChrome(HINSTANCE instance, HWND dialog);

// Tells the window, as WM_DEVICECHANGE, when a COM port comes or goes; Windows only sends
// that to windows that ask. Nothing is lost where the system never sends it (Wine): an
// awaited port is also tried once a second.
class CDeviceNotice {
public:
    CDeviceNotice() = default;
    CDeviceNotice(const CDeviceNotice&) = delete;
    CDeviceNotice& operator=(const CDeviceNotice&) = delete;
    ~CDeviceNotice() { Stop(); }
    void Start(HWND window);
    void Stop();

private:
    HDEVNOTIFY m_hNotify = nullptr;
};

// The window's tooltip control, which wraps its lines, with the buttons' tips in it; it is
// the dialog's, destroyed with it.
HWND MakeTooltips(HINSTANCE instance, HWND dialog);

}  // namespace keltrove
