// RxAssembler: turns the received byte stream into 8-byte frames.
//
// Bytes are handled one at a time in arrival order. While no frame is under way, anything
// but the start byte 0x01 is skipped, so the assembler finds the next frame after noise.
// Eight collected bytes whose last is 0x03 form a frame. Eight whose last is not 0x03 do
// not; assembly resumes at the next 0x01 among them, if any. An unfinished frame whose
// bytes stop coming is discarded when the inter-byte countdown (20 ticks) runs out. Every
// byte that does not end up in a frame is handed back as discarded, for a trace.
//
// Single-threaded: owned by one session. No allocation. The spans handed back point into
// the assembler and hold until its next call.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "Countdown.h"
#include "Frame.h"

namespace keltrove {

// What one received byte did.
struct RxStep {
    std::optional<Frame> frame;               // the frame it completed
    std::span<const std::uint8_t> discarded;  // bytes it made the assembler give up
    bool noise = false;  // they were noise between frames, not eight that were no frame
};

class CRxAssembler {
public:
    // Ticks of the 10 ms timer after the last byte before an unfinished frame is dropped.
    static constexpr std::uint8_t kGapTicks = 20;

    RxStep Push(std::uint8_t byte);

    // One tick of the inter-byte timer. Returns the bytes of a frame it cut short, if any.
    std::span<const std::uint8_t> Tick();

    // Forgets the frame under way, as if its bytes had never come.
    void Reset();

    // A frame is under way, so the inter-byte countdown needs its ticks.
    bool IsCollecting() const { return !m_RxGapTicks.IsIdle(); }

private:
    std::span<const std::uint8_t> ResumeAtNextStart();

    Frame m_Collect{};  // the frame under assembly
    int m_RxPos = 0;    // next position to fill in m_Collect, 0..7
    CTickCountdown m_RxGapTicks;
    Frame m_Discarded{};  // what the last call gave up, when it was not in m_Collect
};

}  // namespace keltrove
