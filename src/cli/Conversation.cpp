#include "Conversation.h"

#include <algorithm>

#include "ComNames.h"
#include "PortWait.h"
#include "SessionTexts.h"
#include "StopRequest.h"

namespace keltrove::cli {

std::uint32_t CStoppableLink::Write(const std::uint8_t* bytes, std::uint32_t count) {
    return m_Stop.Requested() ? 0 : m_Link.Write(bytes, count);
}

void CJobView::MarkReceived(int) {
    if (m_pWatch != nullptr) m_pWatch->OnStep(m_strPort);
}

void CJobView::OnReadEnded(const ReadResult& result) {
    m_ReadEnded = true;
    m_How = result.how;
    m_bWhole = result.whole;
    m_Missing = result.missing;
    m_Values = result.values;
    m_nHeard = result.heardBytes;
    m_Differences = result.differences;
}

ReadResult CJobView::LastRead() const {
    return {ReadMode::ReadBack, m_How,    m_bWhole,      m_Missing,
            m_Values,           m_nHeard, m_Differences, m_Differences.empty() && m_bWhole};
}

void CJobView::OnWire(WireEvent event, std::span<const std::uint8_t> bytes) {
    if (event == WireEvent::Sent) ++m_nSent;
    if (m_pWatch == nullptr) return;
    m_pWatch->OnWire(m_strPort, event, bytes);
    if (event == WireEvent::Sent) m_pWatch->OnStep(m_strPort);
}

CConversation::CConversation(const std::string& port, std::uint16_t portTag, CStopRequest& stop,
                             IJobWatch* watch, JobResult& result)
    : m_strPort(port),
      m_wPortTag(portTag),
      m_Loop(stop),
      m_Link(&m_Loop),
      m_Stoppable(m_Link, stop),
      m_View(m_strPort, watch),
      m_Session(m_View, m_Stoppable, m_Loop, m_Loop),
      m_Result(result),
      m_Stop(stop) {
    m_Session.SetTrace(&m_View);
}

CConversation::~CConversation() {
    m_Link.Close();  // the watcher has ended: its count of dropped bytes is final
    m_Result.dropped = m_Loop.Dropped();
}

bool CConversation::Open(const OpenWait* wait) {
    const WaitEnd end =
        wait == nullptr ? (m_Link.Open(m_strPort, kLineBaud, m_wPortTag) != 0 ? WaitEnd::Open
                                                                              : WaitEnd::TimedOut)
                        : OpenWhenThere(m_Link, m_strPort, m_wPortTag, m_Stop, *wait);
    if (end == WaitEnd::Stopped) return Stopped("stopped while waiting for the port");
    if (end == WaitEnd::TimedOut) {
        m_Result.code = kExitCannotOpen;
        // The reason names the port already when it is about the port's name.
        const std::string& why = m_Link.LastError();
        m_Result.reason = why;
        m_Result.error = why.starts_with(m_strPort) ? why : m_strPort + ": " + why;
        if (wait != nullptr) m_Result.error += wait->ranOut;
        return false;
    }
    m_Result.device = m_Link.DevicePath();
    m_Session.Start();
    return true;
}

bool CConversation::ReadPanel(EntryTexts& panel, ReadFor why) {
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

bool CConversation::WriteAndConfirm(const EntryTexts& table, bool confirm) {
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
    return Fail(kExitDevice, "the table was sent, but " +
                                 (end == CJobLoop::End::Lost ? "the read-back failed: " + failed
                                                             : ReadBackFailure(m_View.LastRead())) +
                                 ", so nothing confirms that the panel took it; " +
                                 (advice.empty() ? "" : advice + ", then ") + "verify");
}

void CConversation::WriteOnto(const EntryTexts& before, const EntryTexts& table,
                              const WriteSteps& steps) {
    m_Result.panel = before;
    if (steps.save) {
        if (std::string failed = steps.save(before, m_Result); !failed.empty()) {
            m_Result.code = kExitUsage;
            m_Result.reason = failed + "; the backup was not saved, so nothing was written";
            m_Result.error = failed + "; the backup of " + m_strPort +
                             " was not saved, so nothing was written to it";
            return;
        }
    }
    if (steps.ifChanged && DiffWithPanel(before, table).empty()) {
        m_Result.unchanged = true;
        m_Result.confirmed = true;
        return;
    }
    WriteAndConfirm(table, steps.confirm);
}

ProbeEnd CConversation::Probe(EntryTexts& panel) {
    m_View.StartRead();
    m_Session.OnRead(ReadMode::Fill);
    const CJobLoop::End end = m_Loop.Run(m_Session, [&] { return m_View.m_ReadEnded; });
    if (end == CJobLoop::End::Stopped) return ProbeEnd::Stopped;
    if (end == CJobLoop::End::Lost) return ProbeEnd::Lost;
    if (m_View.m_bWhole) {
        panel = m_View.m_Values;
        return ProbeEnd::Whole;
    }
    return m_View.m_How == ReadEnd::NoReply ? ProbeEnd::Silent : ProbeEnd::Partial;
}

bool CConversation::IdleUntil(Clock::time_point until) {
    return m_Loop.Run(
               m_Session, [] { return false; }, until) == CJobLoop::End::TimedOut;
}

std::pair<std::string, std::string> CConversation::WhatWentWrong(CJobLoop::End end) {
    if (end == CJobLoop::End::Lost) {
        m_Link.Close();
        m_Session.OnPortClosed();
        return {"the line was lost (" + m_Loop.LostReason() + ")", "plug the device in again"};
    }
    if (m_View.m_How == ReadEnd::NoReply) {
        return {NoReportText(m_View.m_nHeard) + " (" + std::string(kMsgNotConnected) + ")",
                std::string(kCheckThePanel)};
    }
    return {"the answer stopped short (entries not received: " + DescribeEntries(m_View.m_Missing) +
                ")",
            {}};
}

bool CConversation::WriteTable(const EntryTexts& table, WriteCheck check) {
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
                                 " of " + std::to_string(kWriteFrameCount) + " did not go out (" +
                                 (lost.empty() ? std::string(kMsgNotConnected) : lost) +
                                 "); read the panel to see what it holds, then write again");
}

bool CConversation::Fail(int code, const std::string& why) {
    m_Result.code = code;
    m_Result.reason = why;
    m_Result.error = PortAndDevice(m_Result.port, m_Result.device) + ": " + why;
    return false;
}

}  // namespace keltrove::cli
