// PanelPresenter: CPanelPresenter, what the program's window does, without the window.
//
// It owns the serial port and the protocol session and turns the window's intents (a port
// chosen, Read, Write, Save, Load, Compare, Enter), the timer ticks, the private messages
// (PrivateMessages.h) and the watcher's reports into calls on them; it shows their results
// through IPanelWindow, and says which intents the window offers now (Allows). The window
// keeps only its controls, its timers, its busy guard, its file dialogs, its boxes and its
// painting, so that any toolkit's window can stand on it.
//
// A port that is lost, or that could not be opened because its device was not there, stays
// chosen and is awaited: a port watch (CPortWatch, which costs nothing while nothing is
// awaited) reports when it may be back, and the presenter opens it then, as the port list
// would, and says so on the status line. It sends nothing of its own; a read or a write that
// the loss cut short stays failed. Choosing another item ends the wait.
//
// The watcher's and the port watch's reports reach the window's thread through the post
// hook the window gives; the window hands each one back to Deliver. Every other call is made on the
// window's thread. A box may run a nested event loop, so every entry point may be re-entered while
// one is up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LinkReports.h"
#include "PanelWindow.h"
#include "PortWatch.h"
#include "ProtocolSession.h"
#include "SerialLink.h"
#include "WindowIntents.h"
#include "WindowTexts.h"

namespace keltrove {

class CPanelPresenter final : public ISessionView {
public:
    // `timers` tick back through OnTick; `pause` carries the write's pauses.
    CPanelPresenter(IPanelWindow& window, ITickTimers& timers, IPause& pause,
                    CLinkReports::PostHook post);
    // Closes the port.
    ~CPanelPresenter() override;
    CPanelPresenter(const CPanelPresenter&) = delete;
    CPanelPresenter& operator=(const CPanelPresenter&) = delete;

    // The first refresh: 32 empty fields. Once the window's controls exist.
    void Start();

    // The user's intents. `index` is the port list's item: kPortDisable or a COM number.
    // What the activity does not allow (see Activity) is ignored.
    void OnSelectPort(int index);
    void OnRead();
    // Sends what the window's fields show.
    void OnWrite();
    void OnSave();
    void OnLoad();
    void OnCompare();
    // Enter never ends the window, which would lose the table. In the port list
    // (`portListItem` set) it confirms the item shown; elsewhere it returns true: the
    // window moves the focus on as Tab does.
    bool OnEnter(std::optional<int> portListItem);
    // The window left out `refused` (UTF-8) from what the user typed or pasted into `entry`.
    void OnRefused(int entry, const std::string& refused);
    // Whether the window offers `command` now; see Activity.
    bool Allows(Intent intent) const;
    // Carries out `intent` (ChoosePort: of `portListItem`) when it is the presenter's; false
    // for the window's own, Close and About.
    bool Carry(Intent intent, int portListItem = -1);
    // The window is ending: the port is closed, its watcher joined.
    void Close();

    void OnTick(TickTimer timer);
    // A report that the post hook queued.
    void Deliver(const LinkReport& report);
    // The system says its devices changed (a Windows window's WM_DEVICECHANGE): an awaited
    // port is tried at once.
    void OnDevicesChanged() { TryAwaitedPort(); }
    // The chosen port is awaited (lost, or not there when chosen).
    bool IsAwaitingPort() const { return m_nAwaited != 0; }

    // The private messages: WM_RX_NOTIFY drains the received bytes, WM_RX_FRAME evaluates
    // the last frame again, WM_TX_FRAME sends the outgoing frame again.
    void OnRxNotify() { m_Session.OnRxNotify(); }
    bool EvaluateRxFrame() { return m_Session.EvaluateRxFrame(); }
    std::uint32_t SendTxFrame() { return m_Session.SendTxFrame(); }

    void SetTrace(IWireTrace* trace) { m_Session.SetTrace(trace); }

    const CSerialLink& Comm() const { return m_Comm; }
    int PortNo() const { return m_nPortNo; }
    Activity CurrentActivity() const { return m_Activity; }
    bool PortError() const { return m_bPortError != 0; }
    // The watcher's side, as the port sees it.
    ILinkEvents& LinkEvents() { return m_Reports; }

    // ISessionView
    void ShowEntryTexts(const EntryTexts& texts) override;
    void MarkReceived(int entry) override;
    void ShowStatus(SessionStatus status) override;
    MessageAnswer ShowMessage(const SessionMessage& message) override;
    void OnReadEnded(const ReadResult& result) override;

private:
    void OnLinkLost(std::uint16_t portTag, const std::string& reason);
    void OpenChosenPort();
    void AwaitPort();
    void StopAwaiting();
    void TryAwaitedPort();

    void ClosePort();
    void ShowComparison(const ReadResult& result);
    void ShowReadBack(const ReadResult& result);
    void MarkDifferences(const std::vector<EntryDifference>& differences, const EntryTexts& panel);
    void ClearMarks();
    void UpdateActivity();
    // A box over the window; none while the window is ending.
    MessageAnswer Ask(const PanelBox& box);
    PortState Port() const;

    IPanelWindow& m_Window;
    CLinkReports m_Reports;                // before the port, whose watcher reports to it
    CSerialLink m_Comm;                    // before the session, which writes through it
    CProtocolSession m_Session;            // all protocol state and logic
    EntrySet m_ValueFontFields;            // the fields already in the value font
    EntrySet m_Marked;                     // the fields whose mark or tooltip is not the plain one
    ReadMode m_ReadMode = ReadMode::Fill;  // of the last read asked for
    Activity m_Activity = Activity::Idle;  // as the window was last told
    bool m_bWriting = false;               // a write, or its read-back, is under way
    bool m_bConnecting = false;            // a network port is being opened
    bool m_bClosing = false;               // the window is ending: no more boxes
    // While a lost line closes the port: what it cut short, for the one box that says so.
    std::optional<std::string> m_LossCut;
    int m_nBoxes = 0;           // boxes open now, nested
    CPortWatch m_PortWatch;     // runs only while a port is awaited
    int m_nAwaited = 0;         // the COM number awaited, 0 for none
    bool m_bInUseTold = false;  // the awaited port's holder has been named once

    int m_bPortError = 0;  // the last chosen port could not be opened
    int m_nPortNo = 0;     // COM number of the chosen port, 0 for none
};

}  // namespace keltrove
