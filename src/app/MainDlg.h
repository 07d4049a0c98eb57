// MainDlg: CMainDlg, the program's one window: 32 entry fields, the port list, and the
// buttons "Read", "Write" and "Exit".
//
// The window is thin. It owns the port (m_Comm) and the protocol session, and turns widget
// events, timer ticks and the private events 1025 (WM_RX_NOTIFY), 1026 (WM_RX_FRAME) and
// 1027 (WM_TX_FRAME), whoever posts or sends them, into calls on the session, which shows
// its results through IDialogView. The port's watcher reaches the window through
// ILinkEvents on the watcher's thread; those calls only post events and return at once.
// Everything else is GUI thread only.
//
// Failures are shown as message boxes: "Cannot open COMn" with the reason, "Connection to
// COMn lost", and the port layer's own messages. When the dialog ends, and at the latest
// when it is destroyed, the port is closed and its watcher joined.
#pragma once

#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QMessageBox>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DialogTimers.h"
#include "Interfaces.h"
#include "LinkEvents.h"
#include "MainDlgControls.h"
#include "ProtocolSession.h"
#include "SerialLink.h"
#include "SleepPause.h"
#include "StatusLine.h"

namespace keltrove {

// The window's private events, answered whoever posts or sends them.
inline constexpr QEvent::Type WM_RX_NOTIFY = static_cast<QEvent::Type>(1025);  // drain
inline constexpr QEvent::Type WM_RX_FRAME = static_cast<QEvent::Type>(1026);   // evaluate
inline constexpr QEvent::Type WM_TX_FRAME = static_cast<QEvent::Type>(1027);   // resend

class CMainDlg final : public QDialog, public IDialogView, public ILinkEvents {
    Q_OBJECT

public:
    // Answers a message box in place of the real one.
    using MessageHandler = std::function<MessageAnswer(std::string_view, MessageButtons)>;

    // `pause` carries the write's pauses; null means real sleeps, which block the window.
    explicit CMainDlg(IPause* pause = nullptr);
    ~CMainDlg() override;

    // Replaces the real message boxes, for tests; an empty handler restores them.
    void SetMessageHandler(MessageHandler handler) { m_MessageHandler = std::move(handler); }

    // Read-only state, for tests and tools.
    const CProtocolSession& Session() const { return m_Session; }
    const CSerialLink& Comm() const { return m_Comm; }
    const QString& StatusText() const { return m_StatusLine.Text(); }
    int PortError() const { return m_bPortError; }

    // Enter: takes the 32 field texts, then ends the dialog as OK.
    void accept() override;
    // Every way of ending: the port is closed and the timers stop, for good; the window
    // is not meant to be shown again.
    void done(int result) override;

signals:
    // A tick of dialog timer `id` has been handled.
    void timerHandled(unsigned id);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // IDialogView
    std::string EntryFieldText(int entry) const override;
    void ShowEntryTexts(const EntryTexts& texts) override;
    void UseValueFont(int entry) override;
    void ShowStatus(std::string_view text) override;
    MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons) override;

    // ILinkEvents, called on the watcher's thread
    void OnRxNotify(std::uint16_t portId) override;
    void OnLinkMessage(std::string text) override;
    void OnLinkLost(std::uint16_t portId, std::string reason) override;

    // From the watcher's thread: queues `event` (which Qt then owns) for the GUI thread.
    void Post(QEvent* event);

    void OnInitDialog();
    void OnSelectPort(int index);
    void OnRead();
    void OnWrite();
    void OnTimer(unsigned id);
    bool OnPrivateEvent(QEvent& event);
    void OnPortLost(std::uint16_t portId, unsigned generation);
    void OnPortMessage(const std::string& text);
    void ShowAbout();
    MessageAnswer ShowBox(const QString& text, MessageButtons buttons, QMessageBox::Icon icon);
    void ClosePort();

    CSleepPause m_RealPause;
    IPause& m_Pause;
    CSerialLink m_Comm;          // before the session, which writes through it
    CProtocolSession m_Session;  // all protocol state and logic
    MainDlgControls m_Controls;
    CStatusLine m_StatusLine;
    std::optional<QFont> m_ValueFont;  // made on the first received value
    CDialogTimers m_Timers;

    int m_bPortError = 0;  // the last chosen port could not be opened
    int m_nPortNo = 0;     // COM number of the chosen port, 0 for none
    int m_nBaudRate = 0;

    // Set while a WM_RX_NOTIFY from the watcher waits in the queue: one drain takes every
    // waiting byte, so the watcher need not flood a window that is busy writing.
    std::atomic<bool> m_bRxNotifyPosted{false};
    // Counts port closes. A lost report carries the count of its watcher's time; once the
    // port has been closed or chosen again since, the report is stale.
    std::atomic<unsigned> m_nLinkGeneration{0};

    MessageHandler m_MessageHandler;
    std::vector<std::string> m_OpenLinkMessages;  // port messages whose box is open
};

}  // namespace keltrove
