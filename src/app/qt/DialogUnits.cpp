#include "DialogUnits.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "DialogFonts.h"

namespace keltrove {

CDialogUnits::CDialogUnits(const QFont& font)
    // The average is rounded to whole pixels, as the units are, so that equal widths in
    // units stay equal in pixels.
    : m_nBaseX(std::max(1, static_cast<int>(std::lround(AverageLetterWidth(QFontMetricsF(font)))))),
      m_nBaseY(std::max(1, QFontMetrics(font).height())) {}

// Rounded to the nearest pixel, halves up.
int CDialogUnits::X(int units) const {
    return (units * m_nBaseX + 2) / 4;
}

int CDialogUnits::Y(int units) const {
    return (units * m_nBaseY + 4) / 8;
}

QRect CDialogUnits::ToPixels(const DluRect& rect) const {
    // Convert both edges, not the size, so that neighbouring controls meet exactly.
    const int left = X(rect.x);
    const int top = Y(rect.y);
    return QRect(QPoint(left, top), QPoint(X(rect.x + rect.cx) - 1, Y(rect.y + rect.cy) - 1));
}

QSize CDialogUnits::ToPixels(int cx, int cy) const {
    return QSize(X(cx), Y(cy));
}

}  // namespace keltrove
