// Interfaces: how the protocol core reaches the outside world.
//
// The core never touches the port, the screen or the clock itself. The serial link, the
// window, the command line and the tests implement these. Every call is made on the thread
// that drives the session.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "EntryTable.h"
#include "Frame.h"
#include "TableDiff.h"

namespace keltrove {

// The byte transport: the port that carries frames out, and its receive queue.
class IByteLink {
public:
    virtual ~IByteLink() = default;
    // Writes `count` bytes; returns how many went out (0 with no port open).
    virtual std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Moves up to `capacity` received bytes, oldest first, into `out`; 0 when none wait.
    virtual std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) = 0;
    // How many received bytes wait now; more may arrive at any moment.
    virtual std::size_t ReceivedCount() const = 0;
};

// The status line.
enum class SessionStatus { Reading, ReadDone, ReadFailed, Writing, WriteDone, WriteFailed };

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// What a box is about, so that a front end can add what it knows, such as the port.
enum class MessageKind {
    NoReply,             // no report at all: "DERID Not Connected", Yes reads again
    WriteNotTaken,       // a write frame did not go out: "DERID Not Connected", OK
    EntriesNotReceived,  // the read stopped short of the whole table, OK
    ConfirmUnreadWrite,  // a write would send entries a failed read left empty, Yes/No, No first
};

struct SessionMessage {
    MessageKind kind;
    std::string text;
    MessageButtons buttons;
    MessageAnswer defaultAnswer = MessageAnswer::Yes;  // what Enter gives in a Yes/No box
    std::string why;      // NoReply: what came instead of a report, as a clause
    int entriesSent = 0;  // WriteNotTaken: the entry frames that went out before it
};

// Fill: the reports become the entry texts, and so the fields. Compare: the fields stay as
// they are; the read's values only go to OnReadEnded. ReadBack: the read that confirms a
// write; it shows nothing of its own, not even "Reading....".
enum class ReadMode { Fill, Compare, ReadBack };

enum class ReadEnd {
    Whole,       // every entry 1..32 arrived
    Incomplete,  // the answer stopped short, or a report was damaged
    NoReply,     // no report came within the first-report limit
    PortGone,    // the port was closed or lost
};

// How a read ended.
struct ReadResult {
    ReadMode mode = ReadMode::Fill;
    ReadEnd how = ReadEnd::NoReply;
    bool whole = false;          // every entry 1..32 arrived
    EntrySet missing;            // the entries that did not
    const EntryTexts& values;    // the values that came, as the device sent them
    std::size_t heardBytes = 0;  // bytes that came after the request, reports or not
    // ReadBack: the entries where the panel holds other than the write sent; and whether
    // the panel holds the table, which only a whole read-back without them shows.
    std::vector<EntryDifference> differences;
    bool confirmed = false;
};

// The front end: the 32 fields, the status line and the boxes.
class ISessionView {
public:
    virtual ~ISessionView() = default;
    // The refresh: every field shows its text from `texts`.
    virtual void ShowEntryTexts(const EntryTexts& texts) = 0;
    // The device's value for `entry` has been taken into the entry texts.
    virtual void MarkReceived(int entry) = 0;
    // It must appear at once, even while the thread is busy writing.
    virtual void ShowStatus(SessionStatus status) = 0;
    // A modal box. It may run a nested event loop, so the session can be re-entered.
    virtual MessageAnswer ShowMessage(const SessionMessage& message) = 0;
    // A read has ended, whole or not; called after its status and box.
    virtual void OnReadEnded(const ReadResult& result) = 0;
};

// The session's two periodic ticks. Each runs only while the session asks for it.
enum class TickTimer { Reply, Gap };
inline constexpr std::chrono::milliseconds kReplyTickPeriod{50};
inline constexpr std::chrono::milliseconds kGapTickPeriod{10};
// How soon a read's first report must come: 5 reply ticks, so 0.20 to 0.25 s after the
// request, as the first tick may come at any moment of its period.
inline constexpr std::chrono::milliseconds kFirstReportLimit = 5 * kReplyTickPeriod;

class ITickTimers {
public:
    virtual ~ITickTimers() = default;
    // Starts the timer when `on` and it is stopped, stops it when not `on`; a running timer
    // keeps its phase. Each tick comes back as the session's OnReplyTick or OnGapTick.
    virtual void SetTicking(TickTimer timer, bool on) = 0;
};

// The write sequence's pauses, which block the calling thread.
class IPause {
public:
    virtual ~IPause() = default;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

}  // namespace keltrove
