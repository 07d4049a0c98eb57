// FileDialogs: the common file dialogs for a table file.
//
// Titles, filters and the suffix a bare name gets are FileDialogFor's (WindowTexts.h).
// Saving asks before replacing a file. Nothing is remembered from one run to the
// next beyond what the system's dialog keeps itself. Runs a nested message loop. GUI thread
// only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "PanelWindow.h"

namespace keltrove {

// The chosen path as UTF-8, or nothing when cancelled.
std::optional<std::string> ChooseTableFile(HWND owner, FileChoice choice);

}  // namespace keltrove
