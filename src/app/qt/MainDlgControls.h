// MainDlgControls: the controls of the main window, made from template 102.
//
// BuildMainDlgControls creates all 42 controls on the dialog in template order, so that
// the creation order is the tab order, and hands back the ones the dialog works with. Each
// entry field takes Latin-1 characters only and reports what it refused. The dialog owns
// the widgets (Qt parent); the pointers here do not. GUI thread only.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "DialogUnits.h"
#include "EntryTable.h"
#include "PanelWindow.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace keltrove {

class CPortCombo;

struct MainDlgControls {
    std::array<QLineEdit*, kEntryCount> entries{};  // index 0 is entry 1
    QLineEdit* firstTabStop = nullptr;              // takes the focus when the window opens
    CPortCombo* portList = nullptr;
    QPushButton* read = nullptr;
    QPushButton* write = nullptr;
    QPushButton* exit = nullptr;

    QLineEdit& Entry(int entry) const { return *entries[EntryIndex(entry)]; }

    FieldTexts Texts() const;
    // Changes only the fields whose text differs, so a cursor stays where it is.
    void ShowTexts(const FieldTexts& texts) const;
    // A differing field gets a red frame; a refusal pops its tooltip up at once.
    void Mark(int entry, FieldMark mark, const std::string& tooltip) const;
};

// `refused` hears of the characters an entry field left out.
using RefusedInput = std::function<void(int entry, const std::string& refused)>;

MainDlgControls BuildMainDlgControls(QWidget& dialog, const CDialogUnits& units,
                                     const RefusedInput& refused);

}  // namespace keltrove
