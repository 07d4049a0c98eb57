#include "ProtocolSession.h"

namespace keltrove {

namespace {
constexpr int kLastEntry = kEntryCount;
// Drain chunk: any size works, the drain loops until the link has nothing left.
constexpr std::size_t kDrainChunk = 2048;
}  // namespace

CProtocolSession::CProtocolSession(IDialogView& view, IByteLink& link, IPause& pause)
    : m_View(view), m_Link(link), m_Pause(pause) {}

void CProtocolSession::OnInitDialog() {
    m_NoReplyTicks.Stop();
    Refresh();
}

void CProtocolSession::OnRxNotify() {
    std::array<std::uint8_t, kDrainChunk> chunk;
    bool accepted = false;
    while (const std::size_t count = m_Link.TakeReceived(chunk.data(), chunk.size())) {
        for (std::size_t i = 0; i < count; ++i) {
            if (m_RxAssembly.Push(chunk[i]) && EvaluateRxFrame()) accepted = true;
        }
    }
    // Only a report refreshes the fields: noise must not wipe text the user is typing.
    if (accepted) Refresh();
}

void CProtocolSession::OnTimer(unsigned id) {
    if (id == kTimerRxGap) {
        m_RxAssembly.Tick();
    } else if (id == kTimerWatchdog && m_NoReplyTicks.Tick()) {
        // The countdown is idle again before the box opens, so ticks handled by the
        // box's own event loop cannot open a second one. The answer changes nothing.
        m_View.ShowMessage(kMsgNotConnected, MessageButtons::YesNo);
    }
}

bool CProtocolSession::EvaluateRxFrame() {
    const Frame& frame = m_RxAssembly.RxFrame();
    if (!IsEntryReport(frame)) return false;
    m_NoReplyTicks.Stop();
    ShowStatus(kStatusReading);
    const int entry = frame[2];
    if (!IsEntryNumber(entry)) return true;
    ShowEntryValue(entry);
    if (entry == kLastEntry) ShowStatus(kStatusReadDone);
    return true;
}

void CProtocolSession::ShowEntryValue(int entry) {
    const Frame& frame = m_RxAssembly.RxFrame();
    m_View.UseValueFont(entry);
    m_EntryText[static_cast<std::size_t>(entry - 1)].assign(frame.begin() + 3, frame.begin() + 7);
    Refresh();
}

std::uint32_t CProtocolSession::SendTxFrame() {
    return m_Link.Write(m_TxFrame.data(), static_cast<std::uint32_t>(m_TxFrame.size()));
}

void CProtocolSession::OnRead() {
    SetCommandFrame(m_TxFrame, Command::ReadRequest);
    SendTxFrame();  // a lost request shows as the watchdog's message
    ClearEntries();
    m_NoReplyTicks.Arm(kReplyTicks);
}

bool CProtocolSession::OnWrite() {
    SetCommandFrame(m_TxFrame, Command::WriteBegin);
    if (SendTxFrame() != kFrameSize) {
        ReportWriteFailed();
        return false;
    }
    m_Pause.Pause(kWritePause);
    ShowStatus(kStatusWriting);
    for (int entry = 1; entry <= kLastEntry; ++entry) {
        if (!SendEntryFrame(entry)) {
            ReportWriteFailed();
            return false;
        }
    }
    m_Pause.Pause(kWritePause);  // the device gets 200 ms between the last entry and the end
    SetCommandFrame(m_TxFrame, Command::WriteEnd);
    if (SendTxFrame() != kFrameSize) {
        ReportWriteFailed();
        return false;
    }
    ShowStatus(kStatusWriteDone);
    return true;
}

bool CProtocolSession::SendEntryFrame(int entry) {
    std::string& text = m_EntryText[static_cast<std::size_t>(entry - 1)];
    text = m_View.EntryFieldText(entry);
    SetEntryFrame(m_TxFrame, Command::WriteEntry, static_cast<std::uint8_t>(entry), text);
    if (SendTxFrame() != kFrameSize) return false;
    m_Pause.Pause(kWritePause);
    return true;
}

void CProtocolSession::ReportWriteFailed() {
    ShowStatus(kStatusWriteFailed);
    m_View.ShowMessage(kMsgNotConnected, MessageButtons::Ok);
}

void CProtocolSession::TakeFieldTexts() {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        m_EntryText[static_cast<std::size_t>(entry - 1)] = m_View.EntryFieldText(entry);
    }
}

void CProtocolSession::ClearEntries() {
    for (auto& text : m_EntryText) text.clear();
}

void CProtocolSession::Refresh() {
    m_View.ShowEntryTexts(m_EntryText);
}

void CProtocolSession::ShowStatus(std::string_view text) {
    m_View.ShowStatus(text);
}

}  // namespace keltrove
