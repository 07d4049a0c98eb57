// MessageBox: the program's modal message boxes.
//
// A box runs a nested event loop until it is answered, so timers and posted events go on
// being handled meanwhile. The caption is the program's name. GUI thread only. A box that
// is closed without an answer counts as "No" (Yes/No) or "OK" (OK alone).
#pragma once

#include <QMessageBox>
#include <QString>

#include "Interfaces.h"

class QWidget;

namespace keltrove {

MessageAnswer RunMessageBox(QWidget* parent, const QString& text, MessageButtons buttons,
                            QMessageBox::Icon icon);

}  // namespace keltrove
