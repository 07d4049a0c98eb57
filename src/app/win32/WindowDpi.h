// WindowDpi: the dots per inch a window is drawn at: GetDpiForWindow where the system has
// it, else the screen's. GUI thread only; never fails (96 at worst).
#pragma once

#include <windows.h>

namespace keltrove {

UINT WindowDpi(HWND hWnd);

// `pixels` at 96 dpi, scaled to `dpi`.
inline int ScaleTo(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

}  // namespace keltrove
