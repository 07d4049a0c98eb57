// ValueFont: the font of the fields whose value came from the panel: the dialog's face at
// the value font's height, stretched so that its letters are as wide as WindowLook.h says.
// GUI thread only; a null font when the system has none to give.
#pragma once

#include <windows.h>

#include "GdiHandles.h"

namespace keltrove {

UniqueFont MakeValueFont(HWND dialog, UINT dpi);

}  // namespace keltrove
