// MessageBox: the program's modal message boxes.
//
// A box runs a nested event loop until it is answered, so timers and posted events go on
// being handled meanwhile. The caption is the program's name; the text stands as given,
// and the detail, when there is one, is the second line saying what happened and what to
// do. In a Yes/No box Enter gives the box's default answer, and Escape or the close box
// gives No; a box with OK alone gives OK. GUI thread only.
#pragma once

#include "PanelWindow.h"

class QWidget;

namespace keltrove {

MessageAnswer RunMessageBox(QWidget* parent, const PanelBox& request);

}  // namespace keltrove
