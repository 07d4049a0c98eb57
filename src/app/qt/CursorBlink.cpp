#include "CursorBlink.h"

#include <QApplication>
#include <QEvent>
#include <QStyleHints>

namespace keltrove {

CCursorBlink::CCursorBlink() : m_nFlashTime(QApplication::cursorFlashTime()) {
    m_Timeout.setSingleShot(true);
    m_Timeout.setInterval(kTimeoutMs);
    connect(&m_Timeout, &QTimer::timeout, this, [this] { Blink(false); });
    m_Timeout.start();
    QApplication::instance()->installEventFilter(this);
}

CCursorBlink::~CCursorBlink() {
    Blink(true);
}

bool CCursorBlink::eventFilter(QObject* /*watched*/, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            Blink(true);
            m_Timeout.start();
            break;
        default:
            break;
    }
    return false;
}

void CCursorBlink::Blink(bool on) {
    if (on == m_bBlinking) return;
    m_bBlinking = on;
    QApplication::setCursorFlashTime(on ? m_nFlashTime : 0);  // 0: a steady cursor
}

}  // namespace keltrove
