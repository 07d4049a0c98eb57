// StatusWatch: sees each status text the window draws, at the moment it is drawn.
//
// The window draws its status line with a synchronous repaint, so a filter on the line's
// paint events sees every change, also one that a later text replaces before the event loop
// runs again; polling the text would miss those. GUI thread only.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>

#include "MainDlg.h"
#include "StatusLine.h"

namespace keltrove::test {

class CStatusWatch final : public QObject {
public:
    // `onChange` is called with each new status text.
    CStatusWatch(CMainDlg& dialog, std::function<void(const QString&)> onChange)
        : m_Line(*dialog.findChild<CStatusLine*>()),
          m_strLast(m_Line.Text()),
          m_OnChange(std::move(onChange)) {
        m_Line.installEventFilter(this);
    }
    ~CStatusWatch() override { m_Line.removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_Line && event->type() == QEvent::Paint && m_Line.Text() != m_strLast) {
            m_strLast = m_Line.Text();
            m_OnChange(m_strLast);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CStatusLine& m_Line;
    QString m_strLast;
    std::function<void(const QString&)> m_OnChange;
};

}  // namespace keltrove::test
