// FrameReceiver: the device's receiving side, from line bytes to complete frames.
//
// It runs the shared assembler, which skips noise and finds the next frame after a broken
// one. What the program does with its 10 ms tick, this does with the arrival times it is
// given: an unfinished frame whose bytes stop for longer than kByteGap is dropped, so a
// half frame is never completed by the first bytes of a later one.
//
// Single-threaded, no I/O, no failures.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "Frame.h"
#include "LineTime.h"
#include "RxAssembler.h"

namespace keltrove::device {

class CFrameReceiver {
public:
    static constexpr std::chrono::milliseconds kByteGap{200};

    struct Result {
        std::vector<Frame> frames;    // completed frames, in order
        bool droppedPartial = false;  // an unfinished frame timed out before these bytes
    };

    // `bytes` arrived together at `now`.
    Result Push(std::span<const std::uint8_t> bytes, TimePoint now);

    // Forgets an unfinished frame: the line went away.
    void Reset();

private:
    CRxAssembler m_Assembler;
    std::optional<TimePoint> m_LastByte;
};

}  // namespace keltrove::device
