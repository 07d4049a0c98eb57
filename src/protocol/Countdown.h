// Countdown: an 8-bit tick countdown driven by a periodic timer.
//
// 255 means idle and is never counted down. 1..254 is lowered by one per tick, and the
// countdown fires on the tick on which it reaches 0; a 0 met at a tick fires as well.
// Single-threaded: owned and ticked by the thread of the session that holds it.
#pragma once

#include <cstdint>

namespace keltrove {

class CTickCountdown {
public:
    static constexpr std::uint8_t kIdle = 255;

    void Arm(std::uint8_t ticks) { m_nTicks = ticks; }
    void Stop() { m_nTicks = kIdle; }
    bool IsIdle() const { return m_nTicks == kIdle; }

    // One timer tick. Returns true when the countdown fires; it is idle again by then.
    bool Tick() {
        if (m_nTicks == kIdle) return false;
        if (m_nTicks != 0) --m_nTicks;
        if (m_nTicks != 0) return false;
        m_nTicks = kIdle;
        return true;
    }

private:
    std::uint8_t m_nTicks = kIdle;
};

}  // namespace keltrove
