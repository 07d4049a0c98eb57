// AboutBox: template 100, "Keltrove 정보", run modally over `owner` until OK or Escape.
// GUI thread only.
#pragma once

#include <windows.h>

namespace keltrove {

void ShowAboutBox(HINSTANCE instance, HWND owner);

}  // namespace keltrove
