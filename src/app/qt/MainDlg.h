// MainDlg: CMainDlg, the program's one window: 32 entry fields, the port list, and the
// buttons "Read", "Write" and "Exit".
//
// The window is the Qt face of CPanelPresenter, which owns the port and the protocol
// session and decides what the window shows, asks and allows. The window keeps its
// controls, the timers whose ticks it passes on, the busy guard, the file dialogs, the
// boxes and the status line's painting. It answers the private messages (PrivateMessages.h)
// as events of the same numbers, whoever posts or sends them; the watcher's reports reach
// it as posted events (LinkReportEvent.h). When the dialog ends, and at the latest when it
// is destroyed, the port is closed and its watcher joined. GUI thread only.
#pragma once

#include <QDialog>
#include <QFont>
#include <memory>
#include <optional>

#include "BusyWindow.h"
#include "DialogTimers.h"
#include "MainDlgControls.h"
#include "PanelPresenter.h"
#include "SleepPause.h"
#include "WireLog.h"

namespace keltrove {

class CStatusLine;

// The window's boxes and file dialogs, for a caller that answers them itself (a test, a
// benchmark); the window shows the real ones when given none.
class IDialogAnswers {
public:
    virtual ~IDialogAnswers() = default;
    virtual MessageAnswer Ask(const PanelBox& box) = 0;
    // A file name, or nothing: cancelled.
    virtual std::optional<std::string> ChooseFile(FileChoice choice) = 0;
};

class CMainDlg final : public QDialog, private IPanelWindow {
    Q_OBJECT

public:
    // `pause` carries the write's pauses; null means real sleeps, which block the window.
    explicit CMainDlg(IPause* pause = nullptr, IDialogAnswers* answers = nullptr);
    ~CMainDlg() override;

    // The window's state, read-only.
    const CPanelPresenter& Presenter() const { return m_Presenter; }
    // For tools that draw the window with values in it.
    ISessionView& View() { return m_Presenter; }

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
    void AddShortcuts();
    void Carry(Intent intent);

    void ShowFieldTexts(const FieldTexts& texts) override;
    FieldTexts GetFieldTexts() const override;
    void SetValueFont(int entry) override;
    void MarkField(int entry, FieldMark mark, const std::string& tooltip) override;
    void SetStatusText(const std::string& text) override;
    MessageAnswer Ask(const PanelBox& box) override;
    void ShowActivity(Activity activity) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;

    CSleepPause m_RealPause;
    CDialogTimers m_Timers;
    CWireLog m_WireLog;
    MainDlgControls m_Controls;
    CStatusLine* m_pStatusLine = nullptr;  // a child, owned by the window
    std::optional<QFont> m_ValueFont;      // made for the first received value
    std::unique_ptr<CBusyWindow> m_pBusy;  // the controls the activity holds still
    bool m_bEnding = false;  // a stop signal is ending the window
    IDialogAnswers* m_pAnswers = nullptr;
    CPanelPresenter m_Presenter;  // last: its port closes before the rest goes
};

}  // namespace keltrove
