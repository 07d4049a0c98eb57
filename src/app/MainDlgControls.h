// MainDlgControls: the controls of the main window, made from template 102.
//
// BuildMainDlgControls creates all 42 controls on the dialog in template order, so that
// the creation order is the tab order, and hands back the ones the dialog works with. The
// dialog owns the widgets (Qt parent); the pointers here do not. GUI thread only.
#pragma once

#include <array>

#include "DialogUnits.h"
#include "EntryTable.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace keltrove {

class CPortCombo;

struct MainDlgControls {
    std::array<QLineEdit*, kEntryCount> entries{};  // index 0 is entry 1
    CPortCombo* portList = nullptr;
    QPushButton* read = nullptr;
    QPushButton* write = nullptr;
    QPushButton* exit = nullptr;

    QLineEdit& Entry(int entry) const { return *entries[static_cast<std::size_t>(entry - 1)]; }
};

MainDlgControls BuildMainDlgControls(QWidget& dialog, const CDialogUnits& units);

}  // namespace keltrove
