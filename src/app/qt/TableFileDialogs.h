// TableFileDialogs: choosing a table file, for the window's menu.
//
// The file dialogs start in the current folder and remember nothing from one run to the
// next (the program keeps no settings; CMainApp gives Qt's own file-dialog history a
// folder that lasts only as long as the run). GUI thread only.
#pragma once

#include <optional>
#include <string>

#include "PanelWindow.h"

class QWidget;

namespace keltrove {

// The file the user chose, as the file system names it; nothing when cancelled.
std::optional<std::string> ChooseTableFile(QWidget* parent, FileChoice choice);

}  // namespace keltrove
