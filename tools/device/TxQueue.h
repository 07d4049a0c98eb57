// TxQueue: answer bytes waiting for their moment on the line.
//
// Each queued byte has the time at which it may be written. An answer queued while an
// earlier one still occupies the line starts when that one has finished, so answers to
// requests that came in close together follow one another whole. The caller writes what
// is due and reports how much went out; the segments (reports, noise runs) whose last byte
// went out are handed back, for the log and the frame count.
//
// Single-threaded, no I/O, no failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "AnswerShaper.h"
#include "LineTime.h"

namespace keltrove::device {

class CTxQueue {
public:
    void Append(const Answer& answer, TimePoint now);

    // When the first waiting byte is due; empty when nothing waits.
    std::optional<TimePoint> NextDue() const;

    // Replaces `out` with the bytes due at `now`, oldest first.
    void TakeDue(TimePoint now, std::vector<std::uint8_t>& out) const;

    // The first `written` waiting bytes went out. Returns the segments they completed.
    std::vector<TxSegment> Consume(std::size_t written);

    // Reports queued whose last byte has not gone out yet.
    std::size_t PendingFrames() const;

    // Drops everything waiting; the line is free at once.
    void Clear();

private:
    struct PendingByte {
        std::uint8_t value;
        TimePoint due;
    };

    std::deque<PendingByte> m_Bytes;
    std::deque<TxSegment> m_Segments;  // `end` counted in bytes queued since construction
    std::size_t m_nQueued = 0;         // bytes ever queued, dropped ones included
    std::size_t m_nConsumed = 0;       // bytes ever written or dropped
    TimePoint m_LineFreeAt{};
};

}  // namespace keltrove::device
