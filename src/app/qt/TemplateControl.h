// TemplateControl: makes the Qt widget for one control of a dialog template.
//
// The widget is a child of `parent` (which owns it), placed by the dialog units, with the
// control's text, focus behaviour and object name: "entry<n>" for entry fields,
// "control<id>" for the other controls with an ID. SetUpTemplateWindow gives a dialog the
// template's font, caption, icon and fixed size. GUI thread only. Never fails.
#pragma once

#include <QString>

#include "DialogTemplate.h"
#include "DialogUnits.h"

class QWidget;

namespace keltrove {

// Font, caption, icon and fixed size of `dialog` from `tmpl`; returns the dialog units that
// place its controls.
CDialogUnits SetUpTemplateWindow(QWidget& dialog, const DialogTemplate& tmpl);

QWidget* CreateTemplateControl(const ControlTemplate& control, QWidget& parent,
                               const CDialogUnits& units);

QString EntryObjectName(int entry);
QString ControlObjectName(int id);

}  // namespace keltrove
