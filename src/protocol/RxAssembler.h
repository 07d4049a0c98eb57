// RxAssembler: turns the received byte stream into 8-byte frames.
//
// Bytes are handled one at a time in arrival order. While no frame is under way, anything
// but the start byte 0x01 is skipped, so the assembler finds the next frame after noise.
// Eight collected bytes whose last is 0x03 form a frame. Eight whose last is not 0x03 do
// not; assembly resumes at the next 0x01 among them, if any. An unfinished frame whose
// bytes stop coming is discarded when the inter-byte countdown (20 ticks) runs out.
// m_RxFrame only ever holds eight consecutive bytes that formed one frame (or the
// initial eight "0"), so evaluating it at any moment never mixes two frames.
//
// Owned and used by the window's thread only. No allocation.
#pragma once

#include <cstdint>

#include "Countdown.h"
#include "Frame.h"

namespace keltrove {

class CRxAssembler {
public:
    // Ticks of the 10 ms timer after the last byte before an unfinished frame is dropped.
    static constexpr std::uint8_t kGapTicks = 20;

    // Handles one received byte. Returns true when it completed a frame; that frame is then
    // in m_RxFrame until the next one completes.
    bool Push(std::uint8_t byte);

    // One tick of the inter-byte timer. Returns true when it discarded an unfinished frame.
    bool Tick();

    const Frame& RxFrame() const { return m_RxFrame; }
    int RxPos() const { return m_RxPos; }
    const CTickCountdown& RxGapTicks() const { return m_RxGapTicks; }

private:
    void ResumeAtNextStart();

    Frame m_RxFrame = kInitialFrame;  // the last completed frame
    Frame m_Collect{};                // the frame under assembly
    int m_RxPos = 0;                  // next position to fill in m_Collect, 0..7
    CTickCountdown m_RxGapTicks;
};

}  // namespace keltrove
