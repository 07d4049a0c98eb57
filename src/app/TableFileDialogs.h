// TableFileDialogs: choosing a table file and saving one, for the window's menu.
//
// The file dialogs start in the current folder and remember nothing from one run to the
// next (the program keeps no settings; CMainApp gives Qt's own file-dialog history a
// folder that lasts only as long as the run). GUI thread only.
#pragma once

#include <QString>

#include "EntryTable.h"

class QWidget;

namespace keltrove {

// A file name chosen by the user, for saving or for loading; empty when cancelled.
QString ChooseTableFile(QWidget* parent, bool save);

// Writes `table` to `path` through QSaveFile, so that a failure leaves an earlier file
// whole. Returns why it failed, naming the file; empty on success.
QString SaveTableFile(const QString& path, const EntryTexts& table);

}  // namespace keltrove
