#include "DeviceSession.h"

#include <limits>
#include <string>

namespace keltrove::device {

CDeviceSession::CDeviceSession(const DeviceTable& table, const SessionOptions& options,
                               std::mt19937& random, ILineLog& log)
    : m_Options(options),
      m_Log(log),
      m_Model(table, options.panel),
      m_Shaper(options.shape, random) {}

void CDeviceSession::OnReceived(std::span<const std::uint8_t> bytes, TimePoint now) {
    if (m_bHangupDue) return;  // the line is about to go; what follows is never read
    const CFrameReceiver::Result received = m_Receiver.Push(bytes, now);
    if (received.droppedPartial) m_Log.Line("-- unfinished frame dropped: its bytes stopped");
    for (const Frame& frame : received.frames) {
        HandleFrame(frame, now);
        if (m_bHangupDue) break;
    }
}

void CDeviceSession::HandleFrame(const Frame& frame, TimePoint now) {
    CountFrame();
    if (!m_bPanel) {
        m_Log.Line("rx " + HexBytes(frame) + "  no panel connected: nothing answers");
        return;
    }
    FrameOutcome outcome = m_Model.Handle(frame);
    std::string text = "rx " + HexBytes(frame) + "  " + DescribeOutcome(outcome);
    if (outcome.action == FrameAction::WriteStored) ++m_nStoredWrites;
    if (outcome.action == FrameAction::ReadAnswered) {
        if (m_Options.silent) {
            text += "; silent, no answer";
        } else {
            QueueReports(std::move(outcome.replies), now + m_Options.answerDelay, text);
        }
    } else if (!outcome.replies.empty()) {
        text += "; echoed";
        QueueReports(std::move(outcome.replies), now, text);
    }
    m_Log.Line(text);
}

void CDeviceSession::QueueReports(std::vector<Frame> reports, TimePoint start,
                                  std::string& logText) {
    if (const std::size_t budget = FrameBudget(); reports.size() > budget) {
        reports.resize(budget);
        logText += "; " + std::to_string(budget) + " reports before the line hangs up";
    }
    if (!reports.empty()) m_Tx.Append(m_Shaper.Shape(reports), start);
}

void CDeviceSession::TakeDue(TimePoint now, std::vector<std::uint8_t>& out) const {
    if (m_bHangupDue) {
        out.clear();
        return;
    }
    m_Tx.TakeDue(now, out);
}

void CDeviceSession::OnWritten(std::size_t count) {
    for (const TxSegment& segment : m_Tx.Consume(count)) {
        std::string text = "tx " + HexBytes(segment.bytes);
        if (segment.isFrame) {
            text += "  report " + std::to_string(segment.bytes[2]);  // a report's entry index
            CountFrame();
        } else {
            text += "  noise";
        }
        m_Log.Line(text);
    }
}

void CDeviceSession::CountFrame() {
    ++m_nFrames;
    if (HangupArmed() && m_nFrames >= m_Options.hangupAfter) m_bHangupDue = true;
}

bool CDeviceSession::HangupArmed() const {
    return m_Options.hangupAfter != 0 && (!m_bHungUp || m_Options.hangupEveryLine);
}

// How many more reports may be queued before the frame count reaches hangupAfter.
std::size_t CDeviceSession::FrameBudget() const {
    if (!HangupArmed()) return std::numeric_limits<std::size_t>::max();
    const std::size_t used = m_nFrames + m_Tx.PendingFrames();
    return used >= m_Options.hangupAfter ? 0 : m_Options.hangupAfter - used;
}

void CDeviceSession::OnHungUp() {
    m_Log.Line("-- hung up after " + std::to_string(m_nFrames) + " frames");
    DropUnderWay();
    m_nFrames = 0;
    m_bHangupDue = false;
    m_bHungUp = true;
}

void CDeviceSession::OnPortOpened() {
    m_Log.Line("-- port opened by the program");
}

void CDeviceSession::OnPortClosed() {
    m_Log.Line("-- port closed by the program");
    DropUnderWay();
}

void CDeviceSession::ConnectPanel(const DeviceTable& table) {
    if (m_bPanel) DisconnectPanel();
    m_Model = CDeviceModel(table, m_Options.panel);
    m_bPanel = true;
    m_nStoredWrites = 0;
}

void CDeviceSession::DisconnectPanel() {
    if (!m_bPanel) return;
    DropUnderWay();
    m_bPanel = false;
}

// The line is gone: a half-received frame, unsent answer bytes and a staged write with it.
void CDeviceSession::DropUnderWay() {
    m_Receiver.Reset();
    if (m_Tx.NextDue()) m_Log.Line("-- unsent answer bytes dropped");
    m_Tx.Clear();
    if (m_Model.AbandonWrite()) m_Log.Line("-- unfinished write abandoned; nothing stored");
}

}  // namespace keltrove::device
