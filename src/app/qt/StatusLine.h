// StatusLine: the status text drawn onto the main window, outside any control.
//
// The text stands on yellow at the top left of the status rectangle (WindowLook.h), on one
// line, clipped to the rectangle. It is kept, so every repaint draws it again, until the
// next text replaces it. It lies under every control and takes no clicks, as if drawn on
// the window itself, and assistive technology reads it as a status bar. GUI thread only;
// cannot fail.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace keltrove {

class CStatusLine final : public QWidget {
    Q_OBJECT

public:
    // Client pixels, right and bottom edges excluded.
    static QRect Rect();

    explicit CStatusLine(QWidget& window);

    // Shows `text` at once, even while the GUI thread is busy; the same text again costs
    // nothing.
    void Show(const QString& text);
    const QString& Text() const { return m_strText; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strText;
};

}  // namespace keltrove
