#include "RxAssembler.h"

#include <algorithm>

namespace keltrove {

RxStep CRxAssembler::Push(std::uint8_t byte) {
    if (m_RxPos == 0 && byte != kFrameStart) {  // noise between frames
        m_Discarded[0] = byte;
        return {std::nullopt, std::span(m_Discarded).first(1), true};
    }
    m_Collect[static_cast<std::size_t>(m_RxPos++)] = byte;
    if (m_RxPos < static_cast<int>(kFrameSize)) {
        m_RxGapTicks.Arm(kGapTicks);
        return {};
    }
    m_RxPos = 0;
    m_RxGapTicks.Stop();
    if (m_Collect[7] == kFrameEnd) return {m_Collect, {}, false};
    return {std::nullopt, ResumeAtNextStart(), false};
}

std::span<const std::uint8_t> CRxAssembler::Tick() {
    if (!m_RxGapTicks.Tick()) return {};
    // A frame whose bytes stopped coming is dropped, never evaluated.
    const auto cut = std::span(m_Collect).first(static_cast<std::size_t>(m_RxPos));
    m_RxPos = 0;
    return cut;
}

void CRxAssembler::Reset() {
    m_RxPos = 0;
    m_RxGapTicks.Stop();
}

// Eight bytes that do not end in 0x03 are not a frame: a byte was lost, or the first
// 0x01 was noise. The real frame may have started at a later 0x01 among them.
std::span<const std::uint8_t> CRxAssembler::ResumeAtNextStart() {
    const auto next = std::find(m_Collect.begin() + 1, m_Collect.end(), kFrameStart);
    const auto given = static_cast<std::size_t>(next - m_Collect.begin());
    std::copy(m_Collect.begin(), next, m_Discarded.begin());
    if (next != m_Collect.end()) {
        const auto kept = std::copy(next, m_Collect.end(), m_Collect.begin());
        m_RxPos = static_cast<int>(kept - m_Collect.begin());
        m_RxGapTicks.Arm(kGapTicks);
    }
    return std::span(m_Discarded).first(given);
}

}  // namespace keltrove
