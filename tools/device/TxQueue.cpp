#include "TxQueue.h"

#include <algorithm>

namespace keltrove::device {

void CTxQueue::Append(const Answer& answer, TimePoint now) {
    const TimePoint start = std::max(now, m_LineFreeAt);
    for (const TxPiece& piece : answer.pieces) {
        for (const std::uint8_t byte : piece.bytes) m_Bytes.push_back({byte, start + piece.at});
    }
    for (TxSegment segment : answer.segments) {
        segment.end += m_nQueued;
        m_Segments.push_back(std::move(segment));
    }
    for (const TxPiece& piece : answer.pieces) m_nQueued += piece.bytes.size();
    m_LineFreeAt = start + answer.lineTime;
}

std::optional<TimePoint> CTxQueue::NextDue() const {
    if (m_Bytes.empty()) return std::nullopt;
    return m_Bytes.front().due;
}

void CTxQueue::TakeDue(TimePoint now, std::vector<std::uint8_t>& out) const {
    out.clear();
    for (const PendingByte& byte : m_Bytes) {
        if (byte.due > now) break;
        out.push_back(byte.value);
    }
}

std::vector<TxSegment> CTxQueue::Consume(std::size_t written) {
    written = std::min(written, m_Bytes.size());
    m_Bytes.erase(m_Bytes.begin(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(written));
    m_nConsumed += written;
    std::vector<TxSegment> done;
    while (!m_Segments.empty() && m_Segments.front().end <= m_nConsumed) {
        done.push_back(std::move(m_Segments.front()));
        m_Segments.pop_front();
    }
    return done;
}

std::size_t CTxQueue::PendingFrames() const {
    return static_cast<std::size_t>(std::count_if(m_Segments.begin(), m_Segments.end(),
                                                  [](const TxSegment& s) { return s.isFrame; }));
}

void CTxQueue::Clear() {
    m_nConsumed += m_Bytes.size();
    m_Bytes.clear();
    m_Segments.clear();
    m_LineFreeAt = TimePoint{};
}

}  // namespace keltrove::device
