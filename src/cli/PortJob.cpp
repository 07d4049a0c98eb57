#include "PortJob.h"

#include "Frame.h"
#include "JobLoop.h"
#include "ProtocolSession.h"
#include "SerialLink.h"
#include "SessionTexts.h"
#include "StopRequest.h"

namespace keltrove::cli {

namespace {

constexpr int kWriteFrames = 34;  // begin, 32 entries, end

// The link as the session sees it: no more writes once a stop is asked, so that a write
// under way ends at its next frame.
class CStoppableLink final : public IByteLink {
public:
    CStoppableLink(CSerialLink& link, const CStopRequest& stop) : m_Link(link), m_Stop(stop) {}
    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) override {
        return m_Stop.Requested() ? 0 : m_Link.Write(bytes, count);
    }
    std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) override {
        return m_Link.TakeReceived(out, capacity);
    }
    std::size_t ReceivedCount() const override { return m_Link.ReceivedCount(); }

private:
    CSerialLink& m_Link;
    const CStopRequest& m_Stop;
};

// The session's front end for one job: it shows nothing and remembers how things ended.
class CJobView final : public ISessionView, public IWireTrace {
public:
    CJobView(const std::string& port, IJobWatch* watch) : m_strPort(port), m_pWatch(watch) {}

    void ShowEntryTexts(const EntryTexts&) override {}
    void MarkReceived(int) override {}
    void ShowStatus(SessionStatus) override {}
    MessageAnswer ShowMessage(const SessionMessage& message) override {
        m_LastMessage = message.kind;
        return MessageAnswer::No;  // never send what a read left empty without being told
    }
    void OnReadEnded(const ReadResult& result) override {
        m_ReadEnded = true;
        m_bWhole = result.whole;
        m_Missing = result.missing;
        m_Values = result.values;
    }
    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override {
        if (event == WireEvent::Sent) ++m_nSent;
        if (m_pWatch != nullptr) m_pWatch->OnWire(m_strPort, event, bytes);
    }

    void StartRead() { m_ReadEnded = false; }

    bool m_ReadEnded = false;
    bool m_bWhole = false;
    EntrySet m_Missing;
    EntryTexts m_Values;
    std::optional<MessageKind> m_LastMessage;
    int m_nSent = 0;

private:
    const std::string& m_strPort;
    IJobWatch* m_pWatch;
};

// One open port with its session, for the length of a job.
class CConversation {
public:
    CConversation(const std::string& port, std::uint16_t portId, CStopRequest& stop,
                  IJobWatch* watch, JobResult& result)
        : m_Loop(stop),
          m_Link(&m_Loop),
          m_Stoppable(m_Link, stop),
          m_View(port, watch),
          m_Session(m_View, m_Stoppable, m_Loop, m_Loop),
          m_Result(result),
          m_Stop(stop) {
        m_Session.SetTrace(&m_View);
        if (m_Link.Open(port, kLineBaud, portId) == 0) {
            result.code = kExitCannotOpen;
            // The reason names the port already when it is about the port's name.
            const std::string& why = m_Link.LastError();
            result.error = why.starts_with(port) ? why : port + ": " + why;
            return;
        }
        result.device = m_Link.DevicePath();
        m_Session.Start();
    }
    bool IsOpen() const { return m_Link.IsOpen(); }

    // A whole read into `panel`; false with the result's error set otherwise.
    bool ReadPanel(EntryTexts& panel) {
        m_View.StartRead();
        m_Session.OnRead(ReadMode::Fill);
        const CJobLoop::End end = m_Loop.Run(m_Session, [&] { return m_View.m_ReadEnded; });
        if (end == CJobLoop::End::Stopped) return Stopped();
        if (end == CJobLoop::End::Lost) {
            m_Link.Close();
            m_Session.OnPortClosed();
            return Fail(kExitDevice, "the line was lost during the read (" + m_Loop.LostReason() +
                                         "); plug the device in again and repeat");
        }
        if (!m_View.m_bWhole) {
            if (m_View.m_Missing == EntrySet::All()) {
                return Fail(kExitDevice, "no answer (" + std::string(kMsgNotConnected) +
                                             "); check that the panel is switched on and its "
                                             "cable is plugged in");
            }
            return Fail(kExitDevice, "the answer stopped short: entries not received: " +
                                         DescribeEntries(m_View.m_Missing) + "; read again");
        }
        panel = m_View.m_Values;
        return true;
    }

    bool WriteTable(const EntryTexts& table) {
        const WriteOutcome outcome = m_Session.OnWrite(table);
        if (outcome == WriteOutcome::Completed) return true;
        if (m_Stop.Requested()) return Stopped();
        const std::string lost = m_Loop.LostReason();
        return Fail(kExitDevice, "the write did not finish: frame " +
                                     std::to_string(m_View.m_nSent + 1) + " of " +
                                     std::to_string(kWriteFrames) + " did not go out (" +
                                     (lost.empty() ? std::string(kMsgNotConnected) : lost) +
                                     "); read the panel to see what it holds, then write again");
    }

private:
    bool Fail(int code, const std::string& why) {
        m_Result.code = code;
        const std::string device = m_Result.device.empty() || m_Result.device == m_Result.port
                                       ? ""
                                       : " (" + m_Result.device + ")";
        m_Result.error = m_Result.port + device + ": " + why;
        return false;
    }
    bool Stopped() {
        m_Result.code = kExitStopped;
        m_Result.error = m_Result.port + ": stopped before the job was done";
        return false;
    }

    CJobLoop m_Loop;     // before the link, whose watcher reports to it
    CSerialLink m_Link;  // before the session, which writes through it
    CStoppableLink m_Stoppable;
    CJobView m_View;
    CProtocolSession m_Session;
    JobResult& m_Result;
    CStopRequest& m_Stop;
};

}  // namespace

CPortJob::CPortJob(std::string port, std::uint16_t portId, CStopRequest& stop, IJobWatch* watch)
    : m_strPort(std::move(port)), m_wPortId(portId), m_Stop(stop), m_pWatch(watch) {}

JobResult CPortJob::Read() {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortId, m_Stop, m_pWatch, result);
    EntryTexts panel;
    if (conversation.IsOpen() && conversation.ReadPanel(panel)) result.panel = panel;
    return result;
}

JobResult CPortJob::Write(const EntryTexts& table, bool verify) {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortId, m_Stop, m_pWatch, result);
    if (!conversation.IsOpen() || !conversation.WriteTable(table) || !verify) return result;
    EntryTexts panel;
    if (!conversation.ReadPanel(panel)) return result;
    result.panel = panel;
    result.differences = Compare(panel, table);
    if (!result.differences.empty()) result.code = kExitDifferent;
    return result;
}

JobResult CPortJob::Verify(const EntryTexts& table) {
    JobResult result = Read();
    if (!result.panel) return result;
    result.differences = Compare(*result.panel, table);
    if (!result.differences.empty()) result.code = kExitDifferent;
    return result;
}

std::vector<Difference> Compare(const EntryTexts& panel, const EntryTexts& table) {
    std::vector<Difference> differences;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const auto index = static_cast<std::size_t>(entry - 1);
        const FrameValue wire = AlignValue(table[index]);
        const std::string written(wire.begin(), wire.end());
        if (panel[index] != written) differences.push_back({entry, panel[index], written});
    }
    return differences;
}

}  // namespace keltrove::cli
