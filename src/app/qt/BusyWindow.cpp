#include "BusyWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace keltrove {

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

CBusyWindow::CBusyWindow(QWidget& window, std::initializer_list<QWidget*> controls, bool dropInput)
    : m_Window(window), m_bFiltering(dropInput) {
    for (QWidget* control : controls) {
        if (control == nullptr || !control->isEnabled()) continue;
        control->setEnabled(false);
        control->repaint();
        m_Disabled.emplace_back(control);
    }
    if (m_bFiltering) QCoreApplication::instance()->installEventFilter(this);
}

CBusyWindow::~CBusyWindow() {
    if (m_bFiltering) QCoreApplication::instance()->removeEventFilter(this);
    for (const QPointer<QWidget>& control : m_Disabled) {
        if (control) control->setEnabled(true);
    }
}

void CBusyWindow::End() {
    if (m_bFiltering) {
        // What the window system delivered while the job held the thread is in the queue
        // now; it goes through this filter, which drops what was meant for the window.
        QCoreApplication::processEvents();
        QCoreApplication::instance()->removeEventFilter(this);
        m_bFiltering = false;
    }
    for (const QPointer<QWidget>& control : m_Disabled) {
        if (control) control->setEnabled(true);
    }
    m_Disabled.clear();
}

bool CBusyWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!IsInput(event->type()) || !watched->isWidgetType()) return false;
    return static_cast<QWidget*>(watched)->window() == &m_Window;
}

}  // namespace keltrove
