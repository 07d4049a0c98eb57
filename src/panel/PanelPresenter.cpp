#include "PanelPresenter.h"

#include "ComNames.h"
#include "FileIo.h"
#include "LocalTime.h"
#include "PortDescription.h"
#include "TableDiff.h"
#include "TableFile.h"
#include "TableFiles.h"

namespace keltrove {

CPanelPresenter::CPanelPresenter(IPanelWindow& window, ITickTimers& timers, IPause& pause,
                                 CLinkReports::PostHook post)
    : m_Window(window),
      m_Reports(std::move(post)),
      m_Comm(&m_Reports),
      m_Session(*this, m_Comm, pause, timers) {}

CPanelPresenter::~CPanelPresenter() {
    StopAwaiting();  // before the reports its watch posts through go
    ClosePort();
}

void CPanelPresenter::Start() {
    m_Session.Start();
}

void CPanelPresenter::Close() {
    m_bClosing = true;  // what the closing ends is not news to anyone now
    StopAwaiting();
    ClosePort();
}

// Nothing the old port reported may reach the session after it was told the port is gone.
void CPanelPresenter::ClosePort() {
    m_Comm.Close();          // returns after the watcher has ended
    m_Reports.PortClosed();  // so nothing it reported is still on its way
    m_Session.OnPortClosed();
}

void CPanelPresenter::OnSelectPort(int index) {
    if (index < kPortDisable || index > kLastComPort || !Allows(Intent::ChoosePort)) return;
    StopAwaiting();
    ClosePort();
    m_Window.SetStatusText({});  // what it said was about the port just closed
    m_nPortNo = index;
    if (m_nPortNo != kPortDisable) OpenChosenPort();
}

// Opens the chosen port as the port list would. One whose device is not there is awaited.
void CPanelPresenter::OpenChosenPort() {
    m_bPortError = 0;
    // A network port's server may take seconds to answer, or not answer at all: the window
    // says whom it waits for, and takes no input meanwhile.
    const std::optional<NetworkPort> network = NetworkPortOf(ComPortName(m_nPortNo));
    if (network) {
        m_Window.SetStatusText(ConnectingText(m_nPortNo, network->Name()));
        m_bConnecting = true;
        UpdateActivity();
    }
    const int opened =
        m_Comm.Open(ComPortName(m_nPortNo), kLineBaud, static_cast<std::uint16_t>(m_nPortNo));
    if (network) {
        m_bConnecting = false;
        UpdateActivity();
        m_Window.SetStatusText({});
    }
    if (opened == 1) return;
    m_bPortError = 1;
    // The list keeps the choice; the user must not believe the port is open.
    const bool absent = m_Comm.LastFailure() == OpenFailure::Absent;
    if (absent) AwaitPort();
    Ask(CannotOpenBox(m_nPortNo, m_Comm.LastError(), absent));
}

// A network port is not awaited: trying its server again and again would hold the window
// for seconds each time. It is chosen again by hand.
void CPanelPresenter::AwaitPort() {
    if (m_nAwaited == m_nPortNo || m_bClosing) return;
    if (NetworkPortOf(ComPortName(m_nPortNo))) return;
    StopAwaiting();
    m_nAwaited = m_nPortNo;
    m_bInUseTold = false;
    const auto tag = static_cast<std::uint16_t>(m_nAwaited);
    // On the watch's thread: posted over, as the watcher's reports are.
    m_PortWatch.Start(ComPortName(m_nAwaited), [this, tag] { m_Reports.OnPortChanged(tag); });
    // Once now too, through the window's queue: the device may have come back already.
    m_Reports.OnPortChanged(tag);
}

void CPanelPresenter::StopAwaiting() {
    m_PortWatch.Stop();  // no callback comes after this
    m_nAwaited = 0;
}

// The awaited port may be back: it opens now if it will. One that another program holds is
// named once, and awaited on.
void CPanelPresenter::TryAwaitedPort() {
    if (m_nAwaited == 0 || m_nAwaited != m_nPortNo || m_Comm.IsOpen()) return;
    ClosePort();  // whatever a refused open held
    if (m_Comm.Open(ComPortName(m_nPortNo), kLineBaud, static_cast<std::uint16_t>(m_nPortNo)) ==
        1) {
        // A line that opens hung up (the far end of a pty that has gone) is not back.
        if (!m_Comm.LostReason().empty()) return ClosePort();
        StopAwaiting();
        m_bPortError = 0;
        m_Window.SetStatusText(PortBackText(m_nPortNo));
        return;
    }
    if (m_Comm.LastFailure() == OpenFailure::InUse && !std::exchange(m_bInUseTold, true)) {
        Ask(CannotOpenBox(m_nPortNo, m_Comm.LastError(), true));
    }
}

void CPanelPresenter::OnRead() {
    if (!Allows(Intent::Read)) return;
    ClearMarks();
    m_ReadMode = ReadMode::Fill;
    m_Session.OnRead(ReadMode::Fill);
    UpdateActivity();
}

void CPanelPresenter::OnCompare() {
    if (!Allows(Intent::Compare)) return;
    ClearMarks();
    m_ReadMode = ReadMode::Compare;
    m_Session.OnRead(ReadMode::Compare);
    UpdateActivity();
}

// The write holds the window from its first frame to the end of its read-back, which alone
// says whether the panel took it.
void CPanelPresenter::OnWrite() {
    if (!Allows(Intent::Write)) return;
    ClearMarks();
    const EntryTexts texts = ToEntryTexts(m_Window.GetFieldTexts());
    m_bWriting = true;
    UpdateActivity();
    if (m_Session.OnWrite(texts, WriteCheck::ReadBack) != WriteOutcome::ReadingBack) {
        m_bWriting = false;
        UpdateActivity();
    }
}

// The file holds what the fields show, less what the panel never gave them; whatever would
// not come back from it as it stands is asked about first and noted in it.
void CPanelPresenter::OnSave() {
    if (!Allows(Intent::Save)) return;
    const EntryTexts table = ToEntryTexts(m_Window.GetFieldTexts());
    const EntrySet omitted = m_Session.NotFromPanelIn(table);
    std::vector<EntryDifference> odd = NotRestorable(table);
    std::erase_if(odd, [&](const EntryDifference& entry) { return omitted.Has(entry.entry); });
    const std::vector<std::string> oddLines = DescribeNotRestorable(odd);
    if ((!omitted.Empty() || !oddLines.empty()) &&
        Ask(SaveQuestionBox(omitted, oddLines)) != MessageAnswer::Yes) {
        return;
    }
    const std::optional<std::string> path = m_Window.ChooseFile(FileChoice::Save);
    if (!path) return;
    std::vector<std::string> notes{SavedNote(LocalTimeText())};
    notes.insert(notes.end(), oddLines.begin(), oddLines.end());
    if (const std::string failed = SaveAtomically(*path, FormatTableFile(table, notes, omitted));
        !failed.empty()) {
        Ask(CannotSaveBox(failed));
    }
}

// Entries the file leaves out stay empty and unread: a write asks before sending them.
void CPanelPresenter::OnLoad() {
    if (!Allows(Intent::Load)) return;
    const std::optional<std::string> path = m_Window.ChooseFile(FileChoice::Load);
    if (!path) return;
    const TableLoad load = LoadTable(*path, MissingEntries::Allow);
    if (!load.table) {
        Ask(CannotLoadBox(load.problems));
        return;
    }
    ClearMarks();
    m_Session.LoadEntryTexts(*load.table, load.missing);
}

bool CPanelPresenter::OnEnter(std::optional<int> portListItem) {
    if (!portListItem) return true;
    OnSelectPort(*portListItem);
    return false;
}

bool CPanelPresenter::Allows(Intent intent) const {
    switch (intent) {
        case Intent::Read:
        case Intent::Write:
        case Intent::Close:
            return !DropsInputDuring(m_Activity);
        case Intent::Save:
        case Intent::Load:
        case Intent::Compare:
        case Intent::ChoosePort:
            return m_Activity == Activity::Idle;
        case Intent::About:
            return true;
    }
    return false;
}

bool CPanelPresenter::Carry(Intent intent, int portListItem) {
    switch (intent) {
        case Intent::Read:
            OnRead();
            return true;
        case Intent::Write:
            OnWrite();
            return true;
        case Intent::Save:
            OnSave();
            return true;
        case Intent::Load:
            OnLoad();
            return true;
        case Intent::Compare:
            OnCompare();
            return true;
        case Intent::ChoosePort:
            OnSelectPort(portListItem);
            return true;
        case Intent::Close:
        case Intent::About:
            break;
    }
    return false;
}

void CPanelPresenter::OnRefused(int entry, const std::string& refused) {
    if (!IsEntryNumber(entry) || refused.empty()) return;
    m_Marked.Add(entry);
    m_Window.MarkField(entry, FieldMark::Refused, RefusedTip(entry, refused));
}

void CPanelPresenter::OnTick(TickTimer timer) {
    if (timer == TickTimer::Reply) {
        m_Session.OnReplyTick();
    } else {
        m_Session.OnGapTick();
    }
}

void CPanelPresenter::OnLinkLost(std::uint16_t portTag, const std::string& reason) {
    // Frees the device, which is awaited from here on. A read-back it cuts short says so in
    // the one box below, not in a box of its own; and while a box is up (an adapter coming
    // and going), no second one opens.
    m_LossCut.emplace();
    ClosePort();
    const std::string cut = *std::exchange(m_LossCut, std::nullopt);
    AwaitPort();
    if (m_nBoxes == 0) Ask(LinkLostBox(portTag, reason, cut, m_nAwaited != 0));
}

void CPanelPresenter::Deliver(const LinkReport& posted) {
    const std::optional<LinkReport> report = m_Reports.Receive(posted);
    if (!report) return;
    switch (report->kind) {
        case LinkReport::Kind::Notify:
            m_Session.OnRxNotify();
            break;
        case LinkReport::Kind::QueueFull:
            if (!m_bClosing) Ask(QueueFullBox(report->portTag, report->dropped));
            m_Reports.QueueFullShown(report->portTag);
            break;
        case LinkReport::Kind::Lost:
            OnLinkLost(report->portTag, report->reason);
            break;
        case LinkReport::Kind::PortChanged:
            TryAwaitedPort();
            break;
    }
}

// ISessionView

void CPanelPresenter::ShowEntryTexts(const EntryTexts& texts) {
    m_Window.ShowFieldTexts(ToFieldTexts(texts));
}

void CPanelPresenter::MarkReceived(int entry) {
    if (m_ValueFontFields.Has(entry)) return;
    m_ValueFontFields.Add(entry);
    m_Window.SetValueFont(entry);
}

void CPanelPresenter::ShowStatus(SessionStatus status) {
    m_Window.SetStatusText(StatusLineFor(status));
}

MessageAnswer CPanelPresenter::ShowMessage(const SessionMessage& message) {
    if (m_bClosing) return MessageAnswer::No;
    if (message.kind == MessageKind::WriteNotTaken) {
        // A line that hung up under the write: one box says both that the write stopped and
        // that the connection is lost.
        if (const std::string lost = m_Comm.LostReason(); !lost.empty()) {
            ClosePort();
            AwaitPort();
            return Ask(LinkLostBox(m_nPortNo, lost, WriteCutText(message.entriesSent)));
        }
    }
    PanelBox box{message.text, SessionDetail(message, m_ReadMode, Port()), message.buttons,
                 message.defaultAnswer, BoxIcon::None};
    // With no port to ask, Enter must not bring the same box straight back.
    if (message.kind == MessageKind::NoReply && !m_Comm.IsOpen()) {
        box.defaultAnswer = MessageAnswer::No;
    }
    return Ask(box);
}

void CPanelPresenter::OnReadEnded(const ReadResult& result) {
    if (result.mode == ReadMode::Compare) ShowComparison(result);
    if (result.mode == ReadMode::ReadBack) {
        m_bWriting = false;
        ShowReadBack(result);
    }
    UpdateActivity();
}

// A write that its read-back did not confirm: the fields that differ are marked as Compare
// marks them, and one box says why.
void CPanelPresenter::ShowReadBack(const ReadResult& result) {
    if (result.confirmed) return;
    if (m_LossCut) {  // the line's loss says it
        *m_LossCut = ReadBackCutText();
        return;
    }
    if (m_bClosing) return;
    MarkDifferences(result.differences, result.values);
    Ask(WriteNotConfirmedBox(Port(), result));
}

// Each field whose panel value differs gets marked with the panel's value in its tooltip;
// one box says how many differ. A field matches as a table file would: holding the panel's
// value, or what writing it would store.
void CPanelPresenter::ShowComparison(const ReadResult& result) {
    if (!result.whole || m_bClosing) return;  // the failed read has said why
    const std::vector<EntryDifference> differences =
        DiffWithPanel(result.values, ToEntryTexts(m_Window.GetFieldTexts()));
    MarkDifferences(differences, result.values);
    EntrySet differ;
    for (const EntryDifference& entry : differences) differ.Add(entry.entry);
    Ask(ComparisonBox(differ));
}

void CPanelPresenter::MarkDifferences(const std::vector<EntryDifference>& differences,
                                      const EntryTexts& panel) {
    for (const EntryDifference& entry : differences) {
        m_Marked.Add(entry.entry);
        m_Window.MarkField(entry.entry, FieldMark::Differs,
                           DiffersTip(entry.entry, panel[EntryIndex(entry.entry)]));
    }
}

void CPanelPresenter::UpdateActivity() {
    const Activity now = m_bConnecting           ? Activity::Connecting
                         : m_bWriting            ? Activity::Writing
                         : m_Session.IsReading() ? Activity::Reading
                                                 : Activity::Idle;
    if (now == m_Activity) return;
    m_Activity = now;
    m_Window.ShowActivity(now);
}

MessageAnswer CPanelPresenter::Ask(const PanelBox& box) {
    if (m_bClosing) return MessageAnswer::No;
    ++m_nBoxes;
    const MessageAnswer answer = m_Window.Ask(box);
    --m_nBoxes;
    return answer;
}

PortState CPanelPresenter::Port() const {
    return {m_nPortNo, m_Comm.IsOpen(), m_Comm.DevicePath()};
}

void CPanelPresenter::ClearMarks() {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (m_Marked.Has(entry)) m_Window.MarkField(entry, FieldMark::None, FieldTip(entry));
    }
    m_Marked = EntrySet();
}

}  // namespace keltrove
