// MessageBox: the presenter's boxes as system message boxes.
//
// The caption is the program's name, the text the box's first line, a blank line and its
// second. A Yes/No box gives No for Escape and for its close box, which the system's own box
// would refuse, and its default button follows the request. Runs a nested message loop.
// GUI thread only.
#pragma once

#include <windows.h>

#include "PanelWindow.h"

namespace keltrove {

MessageAnswer RunMessageBox(HWND owner, const PanelBox& request);

}  // namespace keltrove
