// StatusLine: the status text drawn onto the main window, outside any control.
//
// The text stands on yellow at the top left of a fixed rectangle of client pixels, on one
// line, clipped to the rectangle. It is kept, so every repaint draws it again, until the
// next text replaces it. The owner repaints the rectangle at once when the text changes,
// so that it shows even while the GUI thread is busy. GUI thread only; cannot fail.
#pragma once

#include <QRect>
#include <QString>
#include <utility>

class QPainter;

namespace keltrove {

class CStatusLine {
public:
    // Client pixels (600, 20) to (750, 120), right and bottom edges excluded.
    static QRect Rect() { return QRect(QPoint(600, 20), QPoint(749, 119)); }

    void SetText(QString text) { m_strText = std::move(text); }
    const QString& Text() const { return m_strText; }

    void Paint(QPainter& painter) const;

private:
    QString m_strText;
};

}  // namespace keltrove
