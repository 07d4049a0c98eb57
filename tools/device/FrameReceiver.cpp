#include "FrameReceiver.h"

namespace keltrove::device {

CFrameReceiver::Result CFrameReceiver::Push(std::span<const std::uint8_t> bytes, TimePoint now) {
    Result result;
    if (bytes.empty()) return result;
    if (m_Assembler.IsCollecting() && m_LastByte && now - *m_LastByte > kByteGap) {
        Reset();
        result.droppedPartial = true;
    }
    m_LastByte = now;
    for (const std::uint8_t byte : bytes) {
        if (const RxStep step = m_Assembler.Push(byte); step.frame) {
            result.frames.push_back(*step.frame);
        }
    }
    return result;
}

void CFrameReceiver::Reset() {
    // A fresh assembler has no frame under way; completed frames never depend on the bytes a
    // discarded one left behind, so nothing of the old one is worth keeping.
    m_Assembler = CRxAssembler{};
    m_LastByte.reset();
}

}  // namespace keltrove::device
