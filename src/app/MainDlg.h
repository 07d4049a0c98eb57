// MainDlg: CMainDlg, the program's one window: 32 entry fields, the port list, and the
// buttons "Read", "Write" and "Exit".
//
// The window is thin. It owns the port (m_Comm) and the protocol session, turns widget
// events, timer ticks and the private events 1025 (WM_RX_NOTIFY), 1026 (WM_RX_FRAME) and
// 1027 (WM_TX_FRAME), whoever posts or sends them, into calls on the session, and shows
// the session's results. The watcher's reports reach it through CLinkEventBridge. GUI
// thread only.
//
// Failures are shown as message boxes: "Cannot open COMn" with the reason, "Connection to
// COMn lost" with the reason, the port layer's "m_QueueRead FULL!", and the session's own.
// Enter never ends the window: it moves to the next field, or confirms the port list's
// choice. When the dialog ends, and at the latest when it is destroyed, the port is closed
// and its watcher joined.
#pragma once

#include <QDialog>
#include <QFont>
#include <cstdint>
#include <functional>
#include <optional>

#include "DialogTimers.h"
#include "EntryTable.h"
#include "Interfaces.h"
#include "LinkEventBridge.h"
#include "MainDlgControls.h"
#include "MessageBox.h"
#include "PrivateEvents.h"
#include "ProtocolSession.h"
#include "SerialLink.h"
#include "SleepPause.h"
#include "WireLog.h"

namespace keltrove {

class CStatusLine;

class CMainDlg final : public QDialog, public ISessionView {
    Q_OBJECT

public:
    // Answers a message box in place of the real one.
    using MessageHandler = std::function<MessageAnswer(const BoxRequest&)>;
    // Chooses a table file in place of the file dialog (`save` or load); empty: cancelled.
    using FileChooser = std::function<QString(bool save)>;

    // `pause` carries the write's pauses; null means real sleeps, which block the window.
    explicit CMainDlg(IPause* pause = nullptr);
    ~CMainDlg() override;

    // Replaces the real message boxes, for tests; an empty handler restores them.
    void SetMessageHandler(MessageHandler handler) { m_MessageHandler = std::move(handler); }
    void SetFileChooser(FileChooser chooser) { m_FileChooser = std::move(chooser); }

    // Read-only state, for tests and tools.
    const CProtocolSession& Session() const { return m_Session; }
    const CSerialLink& Comm() const { return m_Comm; }
    const QString& StatusText() const;
    bool IsTicking(TickTimer timer) const { return m_Timers.IsTicking(timer); }
    // The watcher's side of the window, as the port sees it.
    ILinkEvents& LinkEvents() { return m_Bridge; }

    // Every way of ending: the port is closed and the timers stop, for good; the window
    // is not meant to be shown again.
    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // ISessionView: how the session shows its results.
    void ShowEntryTexts(const EntryTexts& texts) override;
    void MarkReceived(int entry) override;
    void ShowStatus(SessionStatus status) override;
    MessageAnswer ShowMessage(const SessionMessage& message) override;
    void OnReadEnded(const ReadResult& result) override;

private:
    void OnSelectPort(int index);
    void OnRead();
    void OnWrite();
    void OnQueueFull(std::uint16_t portId, std::uint64_t droppedBytes);
    void OnLinkLost(std::uint16_t portId, const QString& reason);
    void ShowAbout();
    void SaveTable();
    void LoadTable();
    void CompareWithPanel();
    void ShowComparison(const ReadResult& result);
    void MarkField(int entry, const QString& panelValue);
    void ClearMarks();
    void ClosePort();
    EntryTexts FieldTexts() const;
    QString DetailFor(MessageKind kind) const;
    MessageAnswer ShowBox(const BoxRequest& request);

    CSleepPause m_RealPause;
    IPause& m_Pause;
    CLinkEventBridge m_Bridge;  // before the port, whose watcher reports to it
    CSerialLink m_Comm;         // before the session, which writes through it
    CDialogTimers m_Timers;
    CProtocolSession m_Session;  // all protocol state and logic
    CWireLog m_WireLog;
    MainDlgControls m_Controls;
    CStatusLine* m_pStatusLine = nullptr;  // a child, owned by the window
    std::optional<QFont> m_ValueFont;      // made on the first received value
    EntrySet m_ValueFontFields;

    int m_bPortError = 0;  // the last chosen port could not be opened
    int m_nPortNo = 0;     // COM number of the chosen port, 0 for none

    MessageHandler m_MessageHandler;
    FileChooser m_FileChooser;
};

}  // namespace keltrove
