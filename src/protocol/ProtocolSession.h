// ProtocolSession: one conversation with the device, for any front end.
//
// It holds the protocol state (outgoing frame, last received frame, receive assembly, the
// reply watchdogs, the 32 entry texts, the read under way) and carries out the protocol's
// operations: draining received bytes into frames and entry values, the ticks of the
// inter-byte and reply countdowns, the read request and the paced write sequence. It
// reaches the port, the front end and the clock only through the interfaces it is given,
// and asks for each tick only while a countdown needs it.
//
// A read is whole only when it brought every entry 1..32. It fails when no report comes
// at all (5 reply ticks; the box asks whether to read again), when no report bringing a
// new entry has come for 20 reply ticks before entry 32 (repeats do not count, so a read
// ends within 32 s whatever the device sends), when entry 32 arrives with an entry
// missing, or when the port goes away. Reports that come when no read is under way change
// no field once a read has been made: they answer nothing the user asked. Until a later
// read is whole, a write first asks before it sends entries that such a read left empty;
// a table loaded with entries marked unread keeps them so.
//
// A write is confirmed by reading the table back: after a quiet pause as long as the one
// before the write end, whatever came meanwhile (echoes of the write's frames, the tail of
// an earlier answer) is dropped, so that only reports that follow the read-back request
// count, and "Writing is Completed" stands only when every entry reads back as written.
//
// One thread only, the one that drives it. The view's box may run a nested event loop, so
// every entry point may be re-entered while a box is up; the state is consistent at every
// such point, and a drain never shows a box before it has handled all its bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "Countdown.h"
#include "EntryTable.h"
#include "Frame.h"
#include "Interfaces.h"
#include "RxAssembler.h"
#include "WireTrace.h"

namespace keltrove {

// Completed: every frame went out, and nothing more was asked. ReadingBack: every frame
// went out, and the read-back is under way; it ends in OnReadEnded (ReadMode::ReadBack).
enum class WriteOutcome { Completed, ReadingBack, Failed, Declined };

// Whether a write reads the table back to confirm it.
enum class WriteCheck { ReadBack, None };

// The frames of a write: begin, one per entry, end.
inline constexpr int kWriteFrameCount = kEntryCount + 2;

// A read under way: what it has brought so far.
struct ReadUnderWay {
    ReadMode mode = ReadMode::Fill;
    EntrySet received;
    EntryTexts values;
    std::size_t heard = 0;  // bytes received since its request
};

class CProtocolSession {
public:
    // The first report, in reply ticks.
    static constexpr std::uint8_t kReplyTicks = kFirstReportLimit / kReplyTickPeriod;
    // The next new entry of a read under way: 1 s, which a slow panel needs between reports.
    static constexpr std::uint8_t kReportGapTicks = 20;
    static constexpr std::chrono::milliseconds kWritePause{100};
    // Before the write end, and before the read-back request: the line is quiet this long.
    static constexpr std::chrono::milliseconds kQuietPause = 2 * kWritePause;

    CProtocolSession(ISessionView& view, IByteLink& link, IPause& pause, ITickTimers& timers);

    // Reports the wire to `trace` from now on; null stops it.
    void SetTrace(IWireTrace* trace) { m_pTrace = trace; }

    // The first refresh: 32 empty fields.
    void Start();

    // Received bytes were queued: handles those waiting now, then refreshes the fields once
    // if a report changed them. Bytes that arrive meanwhile wait for the next notification.
    void OnRxNotify();

    // A tick of the reply timer (every kReplyTickPeriod) or of the gap timer (kGapTickPeriod).
    void OnReplyTick();
    void OnGapTick();

    // Evaluates the last received frame once more. Returns true for an accepted report.
    bool EvaluateRxFrame();

    // Puts the outgoing frame on the line unchanged; returns the bytes written.
    std::uint32_t SendTxFrame();

    // "Read": the request; in Fill mode also empties the entry texts.
    void OnRead(ReadMode mode = ReadMode::Fill);

    // "Write" of `texts`: begin, 32 entry frames, end, paced by pauses; stops at the first
    // frame that does not go out. Declined when the user would not send unread entries.
    // With WriteCheck::ReadBack, the read-back follows the write end (see above); the status
    // line says "Writing...." until it ends, then "Writing is Completed" or "Writing failed",
    // and OnReadEnded (ReadMode::ReadBack) says whether it confirmed the write.
    WriteOutcome OnWrite(const EntryTexts& texts, WriteCheck check = WriteCheck::None);

    // The port was closed: its queued bytes and unfinished frame are dropped, and a read
    // under way has failed (the front end has said why).
    void OnPortClosed();

    // A table taken from elsewhere (a file) becomes the entry texts; nothing is sent. The
    // `unread` entries count as a failed read left them: a write asks before sending them.
    void LoadEntryTexts(const EntryTexts& texts, const EntrySet& unread = {});

    const EntryTexts& EntryText() const { return m_EntryText; }
    // The entries of `texts` that a write would send as a failed read left them.
    EntrySet UnreadIn(const EntryTexts& texts) const;
    // The entries of `texts` that hold nothing from the panel or the user: those a failed
    // read left, and, before any read, load or write, the empty ones.
    EntrySet NotFromPanelIn(const EntryTexts& texts) const;
    // A read (or a write's read-back) is under way.
    bool IsReading() const { return m_Read.has_value() || m_Ended.has_value(); }

private:
    bool HandleByte(std::uint8_t byte);
    bool Evaluate();
    bool TakeReport(const Frame& frame);
    void EndRead(ReadEnd how);
    void FinishEndedRead();
    void FinishReadBack(ReadResult& result);
    void RequestTable(ReadMode mode);
    void DropReceived();
    bool Send();
    WriteOutcome FailWrite(int entriesSent);
    void Refresh();
    void SyncTicks();
    void Trace(WireEvent event, std::span<const std::uint8_t> bytes);
    void FlushNoise();

    ISessionView& m_View;
    IByteLink& m_Link;
    IPause& m_Pause;
    ITickTimers& m_Timers;
    IWireTrace* m_pTrace = nullptr;

    Frame m_TxFrame = kInitialFrame;  // bytes 2..6 carry over into command frames
    Frame m_RxFrame = kInitialFrame;  // the last frame received whole
    CRxAssembler m_RxAssembly;        // the frame under way and its inter-byte countdown
    CTickCountdown m_NoReplyTicks;    // a read's first report
    CTickCountdown m_ReportGapTicks;  // the next report of a read under way
    EntryTexts m_EntryText;           // unaligned, as received, cleared, loaded or written

    std::optional<ReadUnderWay> m_Read;  // the read under way
    // A read that has just ended, reported once the bytes being handled are done.
    std::optional<std::pair<ReadUnderWay, ReadEnd>> m_Ended;
    EntryTexts m_Written;      // what the last write sent, for its read-back
    EntrySet m_Unread;         // what the last failed read did not bring
    EntrySet m_Unasked;        // reports before any read: the device's table, unasked
    bool m_bFilled = false;    // a read, a load or a write has given the entry texts values
    bool m_bReadMade = false;  // a read has been asked for since the start

    bool m_bReplyTicking = false;
    bool m_bGapTicking = false;
    std::vector<std::uint8_t> m_Noise;  // noise bytes not yet traced
};

}  // namespace keltrove
