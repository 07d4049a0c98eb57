#include "RxAssembler.h"

#include <algorithm>

namespace keltrove {

bool CRxAssembler::Push(std::uint8_t byte) {
    if (m_RxPos == 0 && byte != kFrameStart) return false;  // noise between frames
    m_Collect[static_cast<std::size_t>(m_RxPos++)] = byte;
    if (m_RxPos < static_cast<int>(kFrameSize)) {
        m_RxGapTicks.Arm(kGapTicks);
        return false;
    }
    m_RxPos = 0;
    m_RxGapTicks.Stop();
    if (m_Collect[7] == kFrameEnd) {
        m_RxFrame = m_Collect;
        return true;
    }
    ResumeAtNextStart();
    return false;
}

bool CRxAssembler::Tick() {
    if (!m_RxGapTicks.Tick()) return false;
    m_RxPos = 0;  // a frame whose bytes stopped coming is dropped, never evaluated
    return true;
}

// Eight bytes that do not end in 0x03 are not a frame: a byte was lost, or the first
// 0x01 was noise. The real frame may have started at a later 0x01 among them.
void CRxAssembler::ResumeAtNextStart() {
    const auto next = std::find(m_Collect.begin() + 1, m_Collect.end(), kFrameStart);
    if (next == m_Collect.end()) return;
    const auto kept = std::copy(next, m_Collect.end(), m_Collect.begin());
    m_RxPos = static_cast<int>(kept - m_Collect.begin());
    m_RxGapTicks.Arm(kGapTicks);
}

}  // namespace keltrove
