// MainDlg: CMainDlg, the program's one window: 32 entry fields, the port list, and the
// buttons "Read", "Write" and "Exit".
//
// The window is the Qt face of CPanelPresenter, which owns the port and the protocol
// session and decides what the window shows and asks. The window keeps its controls, the
// timers whose ticks it passes on, the busy guard of a write, the file dialogs, the boxes
// and the status line's painting. It answers the private events 1025 (WM_RX_NOTIFY), 1026
// (WM_RX_FRAME) and 1027 (WM_TX_FRAME), whoever posts or sends them; the watcher's reports
// reach it as posted events (LinkReportEvent.h). A field takes Latin-1 characters only.
// Enter never ends the window: it moves to the next field, or confirms the port list's
// choice. When the dialog ends, and at the latest when it is destroyed, the port is closed
// and its watcher joined. GUI thread only.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <memory>
#include <optional>

#include "BusyWindow.h"
#include "DialogTimers.h"
#include "MainDlgControls.h"
#include "PanelPresenter.h"
#include "PrivateEvents.h"
#include "SleepPause.h"
#include "WireLog.h"

namespace keltrove {

class CStatusLine;

class CMainDlg final : public QDialog, private IPanelWindow {
    Q_OBJECT

public:
    // Answers a box in place of the real one, for tests; an empty handler restores them.
    using MessageHandler = std::function<MessageAnswer(const PanelBox&)>;
    // Chooses a table file in place of the file dialog; nothing: cancelled.
    using FileChooser = std::function<std::optional<std::string>(FileChoice)>;

    // `pause` carries the write's pauses; null means real sleeps, which block the window.
    explicit CMainDlg(IPause* pause = nullptr);
    ~CMainDlg() override;

    void SetMessageHandler(MessageHandler handler) { m_MessageHandler = std::move(handler); }
    void SetFileChooser(FileChooser chooser) { m_FileChooser = std::move(chooser); }

    // Read-only state, for tests and tools.
    CPanelPresenter& Presenter() { return m_Presenter; }
    const CProtocolSession& Session() const { return m_Presenter.Session(); }
    const CSerialLink& Comm() const { return m_Presenter.Comm(); }
    const QString& StatusText() const;
    bool IsTicking(TickTimer timer) const { return m_Timers.IsTicking(timer); }
    ILinkEvents& LinkEvents() { return m_Presenter.LinkEvents(); }

    // Every way of ending: the port is closed and the timers stop, for good; the window
    // is not meant to be shown again.
    void done(int result) override;
    // Ends the window whatever is open, for a stop signal: the port is closed (its lock file
    // removed) and every event loop returns, a box's too, whose answer is No.
    void EndNow();

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ShowFieldTexts(const FieldTexts& texts) override;
    FieldTexts GetFieldTexts() const override;
    void SetValueFont(int entry) override;
    void MarkField(int entry, FieldMark mark, const std::string& tooltip) override;
    void SetStatusText(const std::string& text) override;
    MessageAnswer Ask(const PanelBox& box) override;
    void ShowActivity(Activity activity) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    std::string LocalTimeText() const override;

    CSleepPause m_RealPause;
    CDialogTimers m_Timers;
    CWireLog m_WireLog;
    MainDlgControls m_Controls;
    CStatusLine* m_pStatusLine = nullptr;  // a child, owned by the window
    std::optional<QFont> m_ValueFont;      // made for the first received value
    std::unique_ptr<CBusyWindow> m_pBusy;  // the controls the activity holds still
    Activity m_Activity = Activity::Idle;
    bool m_bEnding = false;  // a stop signal is ending the window
    MessageHandler m_MessageHandler;
    FileChooser m_FileChooser;
    CPanelPresenter m_Presenter;  // last: its port closes before the rest goes
};

}  // namespace keltrove
