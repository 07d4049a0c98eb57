// MessageBox: the program's modal message boxes.
//
// A box runs a nested event loop until it is answered, so timers and posted events go on
// being handled meanwhile. The caption is the program's name; the text stands as given,
// and the detail, when there is one, is the second line saying what happened and what to
// do. GUI thread only. A box that is closed without an answer counts as "No" (Yes/No) or
// "OK" (OK alone).
#pragma once

#include <QMessageBox>
#include <QString>

#include "Interfaces.h"

class QWidget;

namespace keltrove {

struct BoxRequest {
    QString text;
    QString detail;
    MessageButtons buttons = MessageButtons::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

MessageAnswer RunMessageBox(QWidget* parent, const BoxRequest& request);

}  // namespace keltrove
