#include "StatusLine.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include "WindowLook.h"

namespace keltrove {

namespace {

class CStatusLineAccessible final : public QAccessibleWidget {
public:
    explicit CStatusLineAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name || kind == QAccessible::Value) {
            return static_cast<const CStatusLine*>(widget())->Text().trimmed();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(CStatusLine::staticMetaObject.className()) &&
        object->isWidgetType()) {
        return new CStatusLineAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

QRect CStatusLine::Rect() {
    return QRect(QPoint(kStatusRect.left, kStatusRect.top),
                 QPoint(kStatusRect.right - 1, kStatusRect.bottom - 1));
}

CStatusLine::CStatusLine(QWidget& window) : QWidget(&window) {
    static const bool installed = (QAccessible::installFactory(&MakeAccessible), true);
    (void)installed;
    setGeometry(Rect());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    lower();  // drawn on the window: every control stands above it
}

void CStatusLine::Show(const QString& text) {
    if (text == m_strText) return;
    m_strText = text;
    repaint();  // at once, not from the event loop: a write keeps the GUI thread busy
    // A screen reader finds the text as the status bar's name and value, and hears it change.
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleValueChangeEvent valued(this, m_strText.trimmed());
    QAccessible::updateAccessibility(&valued);
}

void CStatusLine::paintEvent(QPaintEvent* /*event*/) {
    if (m_strText.isEmpty()) return;
    QPainter painter(this);
    // Opaque mode fills the box of the text itself with yellow, trailing blanks included.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(
        QColor(kStatusBackground.red, kStatusBackground.green, kStatusBackground.blue));
    painter.setPen(Qt::black);
    painter.drawText(
        rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextIncludeTrailingSpaces,
        m_strText);
}

}  // namespace keltrove
