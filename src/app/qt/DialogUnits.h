// DialogUnits: dialog units to pixels, from the dialog font.
//
// A dialog unit is a quarter of the font's average letter width across and an eighth of
// its height down, so the layout keeps its proportions whatever face and size the font
// resolves to. GUI thread only (font metrics). Never fails; a degenerate font gives 1 px
// base units.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "DialogTemplate.h"

namespace keltrove {

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    QRect ToPixels(const DluRect& rect) const;
    QSize ToPixels(int cx, int cy) const;

private:
    int X(int units) const;
    int Y(int units) const;

    int m_nBaseX;  // pixels per 4 horizontal units
    int m_nBaseY;  // pixels per 8 vertical units
};

}  // namespace keltrove
