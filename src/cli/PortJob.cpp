#include "PortJob.h"

#include <algorithm>

#include "ComNames.h"
#include "JobLoop.h"
#include "ProtocolSession.h"
#include "SerialLink.h"
#include "SessionTexts.h"
#include "StopRequest.h"

namespace keltrove::cli {

namespace {

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

// The session's front end for one job: it shows nothing, tells the watch each step, and
// remembers how the read ended.
class CJobView final : public ISessionView, public IWireTrace {
public:
    CJobView(const std::string& port, IJobWatch* watch) : m_strPort(port), m_pWatch(watch) {}

    void ShowEntryTexts(const EntryTexts&) override {}
    void MarkReceived(int) override {
        if (m_pWatch != nullptr) m_pWatch->OnStep(m_strPort);
    }
    void ShowStatus(SessionStatus) override {}
    MessageAnswer ShowMessage(const SessionMessage&) override {
        // Never read again on our own, nor send what a read left empty: the job says why.
        return MessageAnswer::No;
    }
    void OnReadEnded(const ReadResult& result) override {
        m_ReadEnded = true;
        m_How = result.how;
        m_bWhole = result.whole;
        m_Missing = result.missing;
        m_Values = result.values;
        m_nHeard = result.heardBytes;
        m_Differences = result.differences;
    }
    // The last read as the session reported it, its values aside.
    ReadResult LastRead() const {
        return {ReadMode::ReadBack, m_How,    m_bWhole,      m_Missing,
                m_Values,           m_nHeard, m_Differences, m_Differences.empty() && m_bWhole};
    }
    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override {
        if (event == WireEvent::Sent) ++m_nSent;
        if (m_pWatch == nullptr) return;
        m_pWatch->OnWire(m_strPort, event, bytes);
        if (event == WireEvent::Sent) m_pWatch->OnStep(m_strPort);
    }

    void StartRead() { m_ReadEnded = false; }

    bool m_ReadEnded = false;
    ReadEnd m_How = ReadEnd::NoReply;
    bool m_bWhole = false;
    EntrySet m_Missing;
    EntryTexts m_Values;
    std::size_t m_nHeard = 0;
    std::vector<EntryDifference> m_Differences;
    int m_nSent = 0;

private:
    const std::string& m_strPort;
    IJobWatch* m_pWatch;
};

// Why a read is made, which decides what its failure means.
enum class ReadFor { Read, BeforeWrite };

// One open port with its session, for the length of a job.
class CConversation {
public:
    CConversation(const std::string& port, std::uint16_t portTag, CStopRequest& stop,
                  IJobWatch* watch, JobResult& result)
        : m_Loop(stop),
          m_Link(&m_Loop),
          m_Stoppable(m_Link, stop),
          m_View(port, watch),
          m_Session(m_View, m_Stoppable, m_Loop, m_Loop),
          m_Result(result),
          m_Stop(stop) {
        m_Session.SetTrace(&m_View);
        if (m_Link.Open(port, kLineBaud, portTag) == 0) {
            result.code = kExitCannotOpen;
            // The reason names the port already when it is about the port's name.
            const std::string& why = m_Link.LastError();
            result.error = why.starts_with(port) ? why : port + ": " + why;
            return;
        }
        result.device = m_Link.DevicePath();
        m_Session.Start();
    }
    ~CConversation() {
        m_Link.Close();  // the watcher has ended: its count of dropped bytes is final
        m_Result.dropped = m_Loop.Dropped();
    }
    CConversation(const CConversation&) = delete;
    CConversation& operator=(const CConversation&) = delete;

    bool IsOpen() const { return m_Link.IsOpen(); }

    // A whole read into `panel`; false with the result's error set otherwise.
    bool ReadPanel(EntryTexts& panel, ReadFor why) {
        m_View.StartRead();
        m_Session.OnRead(ReadMode::Fill);
        const CJobLoop::End end = m_Loop.Run(m_Session, [&] { return m_View.m_ReadEnded; });
        if (end == CJobLoop::End::Stopped) {
            return Stopped(why == ReadFor::BeforeWrite ? "stopped before anything was written"
                                                       : "stopped before the read was done");
        }
        if (end != CJobLoop::End::Lost && m_View.m_bWhole) {
            panel = m_View.m_Values;
            return true;
        }
        const auto [failed, advice] = WhatWentWrong(end);
        const std::string then = advice.empty() ? "" : advice + ", then ";
        if (why == ReadFor::Read) return Fail(kExitDevice, failed + "; " + then + "read again");
        return Fail(kExitDevice, "the read before the write failed: " + failed +
                                     ", so nothing was written; " + then + "write again");
    }

    // Writes `table`, then, when `confirm`, reads it back until the read-back ends. True
    // when all its frames went out (and the read-back shows the panel holds it); false with
    // the result's error set otherwise.
    bool WriteAndConfirm(const EntryTexts& table, bool confirm) {
        m_View.StartRead();
        if (!WriteTable(table, confirm ? WriteCheck::ReadBack : WriteCheck::None)) return false;
        if (!confirm) return true;
        const CJobLoop::End end = m_Loop.Run(m_Session, [&] { return m_View.m_ReadEnded; });
        if (end == CJobLoop::End::Stopped) {
            return Stopped(
                "stopped after the table was sent, before the read-back confirmed it; verify "
                "to see what the panel holds");
        }
        if (end != CJobLoop::End::Lost && m_View.m_bWhole) {
            m_Result.panel = m_View.m_Values;
            m_Result.differences = m_View.m_Differences;
            m_Result.confirmed = m_Result.differences.empty();
            if (!m_Result.confirmed) m_Result.code = kExitDifferent;
            return m_Result.confirmed;
        }
        const auto [failed, advice] = WhatWentWrong(end);
        return Fail(kExitDevice,
                    "the table was sent, but " +
                        (end == CJobLoop::End::Lost ? "the read-back failed: " + failed
                                                    : ReadBackFailure(m_View.LastRead())) +
                        ", so nothing confirms that the panel took it; " +
                        (advice.empty() ? "" : advice + ", then ") + "verify");
    }

private:
    // How the last read failed, and what to do about it first (may be empty).
    std::pair<std::string, std::string> WhatWentWrong(CJobLoop::End end) {
        if (end == CJobLoop::End::Lost) {
            m_Link.Close();
            m_Session.OnPortClosed();
            return {"the line was lost (" + m_Loop.LostReason() + ")", "plug the device in again"};
        }
        if (m_View.m_How == ReadEnd::NoReply) {
            return {NoReportText(m_View.m_nHeard) + " (" + std::string(kMsgNotConnected) + ")",
                    std::string(kCheckThePanel)};
        }
        return {"the answer stopped short (entries not received: " +
                    DescribeEntries(m_View.m_Missing) + ")",
                {}};
    }

    bool WriteTable(const EntryTexts& table, WriteCheck check) {
        const int before = m_View.m_nSent;
        const WriteOutcome outcome = m_Session.OnWrite(table, check);
        const int sent = m_View.m_nSent - before;  // begin, entries, end
        m_Result.entriesSent = std::clamp(sent - 1, 0, kEntryCount);
        if (outcome == WriteOutcome::Completed || outcome == WriteOutcome::ReadingBack) {
            m_Result.sent = true;
            return true;
        }
        if (m_Stop.Requested()) {
            if (sent == 0) return Stopped("stopped before anything was written");
            return Stopped("stopped after entry " + std::to_string(m_Result.entriesSent) + " of " +
                           std::to_string(kEntryCount) +
                           ": the panel may hold part of the table; write it again");
        }
        const std::string lost = m_Loop.LostReason();
        return Fail(kExitDevice, "the write did not finish: frame " + std::to_string(sent + 1) +
                                     " of " + std::to_string(kWriteFrameCount) +
                                     " did not go out (" +
                                     (lost.empty() ? std::string(kMsgNotConnected) : lost) +
                                     "); read the panel to see what it holds, then write again");
    }

    bool Fail(int code, const std::string& why) {
        m_Result.code = code;
        m_Result.error = PortAndDevice(m_Result.port, m_Result.device) + ": " + why;
        return false;
    }
    bool Stopped(const std::string& why) { return Fail(kExitStopped, why); }

    CJobLoop m_Loop;     // before the link, whose watcher reports to it
    CSerialLink m_Link;  // before the session, which writes through it
    CStoppableLink m_Stoppable;
    CJobView m_View;
    CProtocolSession m_Session;
    JobResult& m_Result;
    CStopRequest& m_Stop;
};

}  // namespace

CPortJob::CPortJob(std::string port, std::uint16_t portTag, CStopRequest& stop, IJobWatch* watch)
    : m_strPort(std::move(port)), m_wPortTag(portTag), m_Stop(stop), m_pWatch(watch) {}

JobResult CPortJob::Read() {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortTag, m_Stop, m_pWatch, result);
    EntryTexts panel;
    if (conversation.IsOpen() && conversation.ReadPanel(panel, ReadFor::Read)) {
        result.panel = panel;
    }
    return result;
}

JobResult CPortJob::Write(const EntryTexts& table, const WriteSteps& steps) {
    JobResult result;
    result.port = m_strPort;
    CConversation conversation(m_strPort, m_wPortTag, m_Stop, m_pWatch, result);
    if (!conversation.IsOpen()) return result;
    if (steps.save || steps.ifChanged) {
        EntryTexts before;
        if (!conversation.ReadPanel(before, ReadFor::BeforeWrite)) return result;
        result.panel = before;
        if (steps.save) {
            if (std::string failed = steps.save(before, result); !failed.empty()) {
                result.code = kExitUsage;
                result.error = failed + "; the backup of " + m_strPort +
                               " was not saved, so nothing was written to it";
                return result;
            }
        }
        if (steps.ifChanged && DiffWithPanel(before, table).empty()) {
            result.unchanged = true;
            result.confirmed = true;
            return result;
        }
    }
    conversation.WriteAndConfirm(table, steps.confirm);
    return result;
}

JobResult CPortJob::Verify(const EntryTexts& table) {
    JobResult result = Read();
    if (!result.panel) return result;
    result.differences = DiffWithPanel(*result.panel, table);
    if (!result.differences.empty()) result.code = kExitDifferent;
    return result;
}

}  // namespace keltrove::cli
