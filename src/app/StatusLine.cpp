#include "StatusLine.h"

#include <QPainter>

namespace keltrove {

void CStatusLine::Paint(QPainter& painter) const {
    if (m_strText.isEmpty()) return;
    painter.save();
    painter.setClipRect(Rect());
    // Opaque mode fills the box of the text itself with yellow, trailing blanks included.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(QColor(255, 255, 0));
    painter.setPen(Qt::black);
    painter.drawText(
        Rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextIncludeTrailingSpaces,
        m_strText);
    painter.restore();
}

}  // namespace keltrove
