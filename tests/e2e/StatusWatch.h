// StatusWatch: sees each status text the window draws, at the moment it is drawn.
//
// The window draws its status line with a synchronous repaint, so a filter on the dialog's
// paint events sees every change, also one that a later text replaces before the event loop
// runs again; polling the text would miss those. GUI thread only.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>

#include "MainDlg.h"

namespace keltrove::test {

class CStatusWatch final : public QObject {
public:
    // `onChange` is called with each new status text.
    CStatusWatch(CMainDlg& dialog, std::function<void(const QString&)> onChange)
        : m_Dlg(dialog), m_strLast(dialog.StatusText()), m_OnChange(std::move(onChange)) {
        m_Dlg.installEventFilter(this);
    }
    ~CStatusWatch() override { m_Dlg.removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_Dlg && event->type() == QEvent::Paint &&
            m_Dlg.StatusText() != m_strLast) {
            m_strLast = m_Dlg.StatusText();
            m_OnChange(m_strLast);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CMainDlg& m_Dlg;
    QString m_strLast;
    std::function<void(const QString&)> m_OnChange;
};

}  // namespace keltrove::test
