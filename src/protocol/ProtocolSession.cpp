#include "ProtocolSession.h"

#include <algorithm>
#include <array>

#include "SessionTexts.h"

namespace keltrove {

namespace {
// Drain chunk: any size works; one notification takes what was waiting when it began.
constexpr std::size_t kDrainChunk = 2048;

}  // namespace

CProtocolSession::CProtocolSession(ISessionView& view, IByteLink& link, IPause& pause,
                                   ITickTimers& timers)
    : m_View(view), m_Link(link), m_Pause(pause), m_Timers(timers) {}

void CProtocolSession::Start() {
    m_NoReplyTicks.Stop();
    Refresh();
}

void CProtocolSession::OnRxNotify() {
    std::array<std::uint8_t, kDrainChunk> chunk;
    std::size_t budget = m_Link.ReceivedCount();  // a flood must not keep us here for ever
    bool refresh = false;
    while (budget > 0) {
        const std::size_t count = m_Link.TakeReceived(chunk.data(), std::min(budget, chunk.size()));
        if (count == 0) break;
        budget -= count;
        if (m_Read) m_Read->heard += count;
        for (std::size_t i = 0; i < count; ++i) refresh = HandleByte(chunk[i]) || refresh;
    }
    FlushNoise();
    // Only a report refreshes the fields: noise must not wipe text the user is typing.
    if (refresh) Refresh();
    SyncTicks();
    FinishEndedRead();
}

bool CProtocolSession::HandleByte(std::uint8_t byte) {
    const RxStep step = m_RxAssembly.Push(byte);
    if (!step.discarded.empty()) {
        Trace(step.noise ? WireEvent::Noise : WireEvent::NotAFrame, step.discarded);
    }
    if (!step.frame) return false;
    m_RxFrame = *step.frame;
    Trace(WireEvent::Received, m_RxFrame);
    return Evaluate();
}

void CProtocolSession::OnReplyTick() {
    // Each countdown is idle again before any box opens, so ticks handled by the box's own
    // event loop cannot open a second one.
    if (m_NoReplyTicks.Tick() && m_Read) EndRead(ReadEnd::NoReply);
    if (m_ReportGapTicks.Tick() && m_Read) EndRead(ReadEnd::Incomplete);
    SyncTicks();
    FinishEndedRead();
}

void CProtocolSession::OnGapTick() {
    const std::span<const std::uint8_t> cut = m_RxAssembly.Tick();
    if (!cut.empty()) Trace(WireEvent::CutShort, cut);
    SyncTicks();
}

bool CProtocolSession::EvaluateRxFrame() {
    if (!IsEntryReport(m_RxFrame)) return false;
    if (Evaluate()) Refresh();
    SyncTicks();
    FinishEndedRead();
    return true;
}

// Returns true when the fields must show the entry texts again.
bool CProtocolSession::Evaluate() {
    if (!IsEntryReport(m_RxFrame)) return false;
    return TakeReport(m_RxFrame);
}

bool CProtocolSession::TakeReport(const Frame& frame) {
    m_NoReplyTicks.Stop();
    // Once a read has been made, a report outside one answers nothing the user asked: it
    // must not overwrite the fields, nor say "Reading...." after the read has ended.
    if (!m_Read && m_bReadMade) return false;
    const ReadMode mode = m_Read ? m_Read->mode : ReadMode::Fill;
    if (mode != ReadMode::ReadBack) m_View.ShowStatus(SessionStatus::Reading);
    const bool fills = mode == ReadMode::Fill;
    const int entry = EntryOf(frame);
    bool fresh = false;  // a read under way gets an entry it did not have
    if (IsEntryNumber(entry)) {
        const FrameValue value = ValueOf(frame);
        const std::string text(value.begin(), value.end());
        if (fills) {
            m_bFilled = true;
            m_EntryText[EntryIndex(entry)] = text;
            m_View.MarkReceived(entry);
            m_Unread.Remove(entry);  // the device's own value: nothing is lost writing it
        }
        if (m_Read) {
            fresh = !m_Read->received.Has(entry);
            m_Read->received.Add(entry);
            m_Read->values[EntryIndex(entry)] = text;
        }
    }
    if (m_Read) {
        if (entry == kEntryCount) {
            EndRead(m_Read->received == EntrySet::All() ? ReadEnd::Whole : ReadEnd::Incomplete);
        } else if (fresh || m_ReportGapTicks.IsIdle()) {
            // Only progress buys time: a device repeating what it sent cannot keep a read
            // going for ever.
            m_ReportGapTicks.Arm(kReportGapTicks);
        }
    } else if (IsEntryNumber(entry)) {
        // Before any read a device may send its table unasked; a whole one says so.
        m_Unasked.Add(entry);
        if (entry == kEntryCount) {
            if (m_Unasked == EntrySet::All()) m_View.ShowStatus(SessionStatus::ReadDone);
            m_Unasked = EntrySet();
        }
    }
    return fills;
}

void CProtocolSession::EndRead(ReadEnd how) {
    ReadUnderWay read = std::move(*m_Read);
    m_Read.reset();
    m_NoReplyTicks.Stop();
    m_ReportGapTicks.Stop();
    m_Unasked = EntrySet();
    if (read.mode == ReadMode::Fill) {
        m_Unread = how == ReadEnd::Whole ? EntrySet() : EntrySet::All().Without(read.received);
    }
    m_Ended.emplace(std::move(read), how);
}

// Status, box and OnReadEnded of the read that has just ended. Outside any byte handling,
// since the box's event loop may drain more bytes.
void CProtocolSession::FinishEndedRead() {
    if (!m_Ended) return;
    const auto [read, how] = std::move(*m_Ended);
    m_Ended.reset();
    ReadResult result{read.mode,
                      how,
                      how == ReadEnd::Whole,
                      EntrySet::All().Without(read.received),
                      read.values,
                      read.heard,
                      {},
                      false};
    if (read.mode == ReadMode::ReadBack) {
        FinishReadBack(result);
        return;
    }
    m_View.ShowStatus(result.whole ? SessionStatus::ReadDone : SessionStatus::ReadFailed);
    if (how == ReadEnd::Incomplete) m_View.ShowMessage(EntriesNotReceivedMessage(result.missing));
    const bool again = how == ReadEnd::NoReply &&
                       m_View.ShowMessage(NoReplyMessage(read.heard)) == MessageAnswer::Yes;
    // Exactly what Read (or Compare) would have sent; before OnReadEnded, so that the front
    // end sees a read under way again.
    if (again) OnRead(read.mode);
    m_View.OnReadEnded(result);
}

// The write is done only when the panel gives back what it was sent.
void CProtocolSession::FinishReadBack(ReadResult& result) {
    if (result.whole) result.differences = DiffWithPanel(result.values, m_Written);
    result.confirmed = result.whole && result.differences.empty();
    m_View.ShowStatus(result.confirmed ? SessionStatus::WriteDone : SessionStatus::WriteFailed);
    m_View.OnReadEnded(result);  // which says why, when it failed
}

std::uint32_t CProtocolSession::SendTxFrame() {
    const std::uint32_t written =
        m_Link.Write(m_TxFrame.data(), static_cast<std::uint32_t>(m_TxFrame.size()));
    Trace(written == kFrameSize ? WireEvent::Sent : WireEvent::NotTaken, m_TxFrame);
    return written;
}

bool CProtocolSession::Send() {
    return SendTxFrame() == kFrameSize;
}

void CProtocolSession::OnRead(ReadMode mode) {
    RequestTable(mode);
}

void CProtocolSession::RequestTable(ReadMode mode) {
    SetCommandFrame(m_TxFrame, Command::ReadRequest);
    SendTxFrame();  // a lost request shows as the watchdog's message
    m_bReadMade = true;
    m_Read.emplace();
    m_Read->mode = mode;
    if (mode == ReadMode::Fill) {
        for (auto& text : m_EntryText) text.clear();
    }
    m_ReportGapTicks.Stop();
    m_NoReplyTicks.Arm(kReplyTicks);
    SyncTicks();
}

WriteOutcome CProtocolSession::OnWrite(const EntryTexts& texts, WriteCheck check) {
    if (const EntrySet unread = UnreadIn(texts); !unread.Empty()) {
        SyncTicks();
        if (m_View.ShowMessage(ConfirmUnreadWriteMessage(unread)) != MessageAnswer::Yes) {
            return WriteOutcome::Declined;
        }
    }
    int sent = 0;  // entry frames that went out
    SetCommandFrame(m_TxFrame, Command::WriteBegin);
    if (!Send()) return FailWrite(sent);
    m_Pause.Pause(kWritePause);
    m_View.ShowStatus(SessionStatus::Writing);
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const std::string& text = texts[EntryIndex(entry)];
        m_EntryText[EntryIndex(entry)] = text;  // kept as given, not aligned
        SetEntryFrame(m_TxFrame, Command::WriteEntry, static_cast<std::uint8_t>(entry),
                      AlignValue(text));
        if (!Send()) return FailWrite(sent);
        ++sent;
        m_Pause.Pause(kWritePause);
    }
    m_Pause.Pause(kQuietPause - kWritePause);  // the device gets kQuietPause before the end
    SetCommandFrame(m_TxFrame, Command::WriteEnd);
    if (!Send()) return FailWrite(sent);
    m_bFilled = true;
    m_Unread = EntrySet();  // the panel now holds what was written
    m_Written = texts;
    if (check == WriteCheck::None) {
        m_View.ShowStatus(SessionStatus::WriteDone);
        return WriteOutcome::Completed;
    }
    // What came during the write (a panel echoing its frames, the tail of an earlier answer)
    // answers nothing: only what follows the request may confirm the write.
    m_Pause.Pause(kQuietPause);
    DropReceived();
    RequestTable(ReadMode::ReadBack);
    return WriteOutcome::ReadingBack;
}

WriteOutcome CProtocolSession::FailWrite(int entriesSent) {
    m_View.ShowStatus(SessionStatus::WriteFailed);
    SyncTicks();
    m_View.ShowMessage(WriteNotTakenMessage(entriesSent));
    return WriteOutcome::Failed;
}

EntrySet CProtocolSession::UnreadIn(const EntryTexts& texts) const {
    const EntrySet unread = m_Read && m_Read->mode == ReadMode::Fill
                                ? EntrySet::All().Without(m_Read->received)
                                : m_Unread;
    EntrySet asLeft;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (unread.Has(entry) && texts[EntryIndex(entry)] == m_EntryText[EntryIndex(entry)]) {
            asLeft.Add(entry);
        }
    }
    return asLeft;
}

void CProtocolSession::OnPortClosed() {
    DropReceived();
    if (m_Read) EndRead(ReadEnd::PortGone);
    SyncTicks();
    FinishEndedRead();
}

void CProtocolSession::LoadEntryTexts(const EntryTexts& texts, const EntrySet& unread) {
    m_EntryText = texts;
    m_Unread = unread;
    m_bFilled = true;
    Refresh();
}

EntrySet CProtocolSession::NotFromPanelIn(const EntryTexts& texts) const {
    EntrySet entries = UnreadIn(texts);
    if (m_bFilled || m_Read) return entries;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (texts[EntryIndex(entry)].empty()) entries.Add(entry);
    }
    return entries;
}

// The queued bytes and the frame under way, gone as if they had never come.
void CProtocolSession::DropReceived() {
    std::array<std::uint8_t, kDrainChunk> chunk;
    std::size_t budget = m_Link.ReceivedCount();  // a flooding device cannot keep us here
    while (budget > 0) {
        const std::size_t count = m_Link.TakeReceived(chunk.data(), std::min(budget, chunk.size()));
        if (count == 0) break;
        budget -= count;
        Trace(WireEvent::Dropped, {chunk.data(), count});
    }
    m_RxAssembly.Reset();
    FlushNoise();
    SyncTicks();
}

void CProtocolSession::Refresh() {
    m_View.ShowEntryTexts(m_EntryText);
}

void CProtocolSession::SyncTicks() {
    const bool reply = !m_NoReplyTicks.IsIdle() || !m_ReportGapTicks.IsIdle();
    if (reply != m_bReplyTicking) {
        m_bReplyTicking = reply;
        m_Timers.SetTicking(TickTimer::Reply, reply);
    }
    const bool gap = m_RxAssembly.IsCollecting();
    if (gap != m_bGapTicking) {
        m_bGapTicking = gap;
        m_Timers.SetTicking(TickTimer::Gap, gap);
    }
}

void CProtocolSession::Trace(WireEvent event, std::span<const std::uint8_t> bytes) {
    if (m_pTrace == nullptr) return;
    if (event == WireEvent::Noise) {  // one line for a run of noise, not one a byte
        m_Noise.insert(m_Noise.end(), bytes.begin(), bytes.end());
        return;
    }
    FlushNoise();
    m_pTrace->OnWire(event, bytes);
}

void CProtocolSession::FlushNoise() {
    if (m_Noise.empty() || m_pTrace == nullptr) return;
    m_pTrace->OnWire(WireEvent::Noise, m_Noise);
    m_Noise.clear();
}

}  // namespace keltrove
