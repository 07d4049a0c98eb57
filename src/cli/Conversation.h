// Conversation: one open port with its protocol session and event loop, for as long as a
// job, or the station's service of one port between two losses of it, needs it.
//
// It reads the panel whole or says why not, writes a table and confirms it by reading it
// back (WriteCheck::ReadBack), and, for the station, sends one read request at a time and
// idles between them. Failures go into the JobResult it was given, naming the port and its
// device and what to do; a stop request ends a write at its next frame and says after which
// entry. The port thread's own object: every call on the thread that made it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "JobLoop.h"
#include "JobResult.h"
#include "ProtocolSession.h"
#include "SerialLink.h"

namespace keltrove::cli {

class CStopRequest;
struct OpenWait;

// The link as the session sees it: no more writes once a stop is asked, so that a write
// under way ends at its next frame.
class CStoppableLink final : public IByteLink {
public:
    CStoppableLink(CSerialLink& link, const CStopRequest& stop) : m_Link(link), m_Stop(stop) {}
    std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) override;
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
    void MarkReceived(int) override;
    void ShowStatus(SessionStatus) override {}
    MessageAnswer ShowMessage(const SessionMessage&) override {
        // Never read again on our own, nor send what a read left empty: the job says why.
        return MessageAnswer::No;
    }
    void OnReadEnded(const ReadResult& result) override;
    // The last read as the session reported it, its values aside.
    ReadResult LastRead() const;
    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override;

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

// What one read request of the station brought.
enum class ProbeEnd {
    Whole,    // the whole table
    Partial,  // reports, but not all 32
    Silent,   // no report
    Lost,     // the line was lost
    Stopped,  // a stop was asked
};

class CConversation {
public:
    using Clock = std::chrono::steady_clock;

    // Nothing is opened yet; `result` takes the port's device and every failure.
    CConversation(const std::string& port, std::uint16_t portTag, CStopRequest& stop,
                  IJobWatch* watch, JobResult& result);
    ~CConversation();
    CConversation(const CConversation&) = delete;
    CConversation& operator=(const CConversation&) = delete;

    // Opens the port; when it does not open, waits for it as `wait` says (null: not at all).
    // False with the result's error set otherwise (exit 3, or 130 when stopped).
    bool Open(const OpenWait* wait = nullptr);

    bool IsOpen() const { return m_Link.IsOpen(); }

    // A whole read into `panel`; false with the result's error set otherwise.
    bool ReadPanel(EntryTexts& panel, ReadFor why);

    // Writes `table`, then, when `confirm`, reads it back until the read-back ends. True
    // when all its frames went out (and the read-back shows the panel holds it); false with
    // the result's error set otherwise.
    bool WriteAndConfirm(const EntryTexts& table, bool confirm);

    // What a write does once the panel's table `before` is known: `steps`' backup, then,
    // for --if-changed, nothing more when the panel holds `table` already, else the write.
    void WriteOnto(const EntryTexts& before, const EntryTexts& table, const WriteSteps& steps);

    // One read request and its answer, for the station: the whole table in `panel`, or what
    // came instead. Nothing goes into the result.
    ProbeEnd Probe(EntryTexts& panel);
    // Handles what comes (answering nothing) until `until`. False when the line was lost
    // or a stop was asked.
    bool IdleUntil(Clock::time_point until);
    // The entries the last read did not bring.
    const EntrySet& Missing() const { return m_View.m_Missing; }
    // Why the line was lost.
    std::string LostReason() const { return m_Loop.LostReason(); }

private:
    // How the last read failed, and what to do about it first (may be empty).
    std::pair<std::string, std::string> WhatWentWrong(CJobLoop::End end);
    bool WriteTable(const EntryTexts& table, WriteCheck check);
    bool Fail(int code, const std::string& why);
    bool Stopped(const std::string& why) { return Fail(kExitStopped, why); }

    const std::string m_strPort;
    const std::uint16_t m_wPortTag;
    CJobLoop m_Loop;     // before the link, whose watcher reports to it
    CSerialLink m_Link;  // before the session, which writes through it
    CStoppableLink m_Stoppable;
    CJobView m_View;
    CProtocolSession m_Session;
    JobResult& m_Result;
    CStopRequest& m_Stop;
};

}  // namespace keltrove::cli
