// StatusWatch: sees each status text the window draws, at the moment it is drawn.
//
// The window draws its status line with a synchronous repaint, so a filter on the dialog's
// paint events sees every change, also one that a later text replaces before the event loop
// runs again; polling the text would miss those. Counts the changes to each text and calls
// an optional handler on each change. GUI thread only; never fails.
#pragma once

#include <QEvent>
#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

#include "MainDlg.h"

namespace keltrove::test {

class CStatusWatch final : public QObject {
public:
    using Handler = std::function<void(const QString& text)>;

    explicit CStatusWatch(CMainDlg& dialog, Handler onChange = {})
        : m_Dlg(dialog), m_strLast(dialog.StatusText()), m_OnChange(std::move(onChange)) {
        m_Dlg.installEventFilter(this);
    }
    ~CStatusWatch() override { m_Dlg.removeEventFilter(this); }

    // How often the status has changed to `text` since the watch began.
    int Changes(const QString& text) const { return m_Changes.value(text); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_Dlg && event->type() == QEvent::Paint &&
            m_Dlg.StatusText() != m_strLast) {
            m_strLast = m_Dlg.StatusText();
            ++m_Changes[m_strLast];
            if (m_OnChange) m_OnChange(m_strLast);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CMainDlg& m_Dlg;
    QString m_strLast;
    QHash<QString, int> m_Changes;
    Handler m_OnChange;
};

}  // namespace keltrove::test
