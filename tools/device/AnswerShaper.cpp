#include "AnswerShaper.h"

#include <algorithm>

namespace keltrove::device {

namespace {

std::vector<std::uint8_t> Concatenate(std::span<const TxSegment> segments) {
    std::vector<std::uint8_t> stream;
    for (const TxSegment& segment : segments) {
        stream.insert(stream.end(), segment.bytes.begin(), segment.bytes.end());
    }
    return stream;
}

}  // namespace

Answer CAnswerShaper::Shape(std::span<const Frame> reports) {
    Answer answer;
    std::vector<std::size_t> gaps;  // stream offsets that a reply gap precedes
    std::size_t size = 0;
    for (const Frame& report : reports) {
        if (size != 0 && m_Options.replyGap.count() > 0) gaps.push_back(size);
        if (m_Options.noise) {
            std::vector<std::uint8_t> noise = Noise();
            size += noise.size();
            answer.segments.push_back({size, false, std::move(noise)});
        }
        size += report.size();
        answer.segments.push_back({size, true, {report.begin(), report.end()}});
    }
    const std::vector<std::uint8_t> stream = Concatenate(answer.segments);
    const std::vector<std::size_t> starts = PieceStarts(size, gaps);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : size;
        answer.pieces.push_back({Offset(starts[i], gaps),
                                 {stream.begin() + static_cast<std::ptrdiff_t>(starts[i]),
                                  stream.begin() + static_cast<std::ptrdiff_t>(end)}});
    }
    answer.lineTime = Offset(size, gaps);
    return answer;
}

std::vector<std::uint8_t> CAnswerShaper::Noise() {
    std::uniform_int_distribution<std::size_t> count(1, kMaxNoise);
    // 255 values: every byte but the frame start, which is skipped over.
    std::uniform_int_distribution<int> value(0, 254);
    std::vector<std::uint8_t> noise(count(m_Random));
    for (std::uint8_t& byte : noise) {
        const int drawn = value(m_Random);
        byte = static_cast<std::uint8_t>(drawn < kFrameStart ? drawn : drawn + 1);
    }
    return noise;
}

std::vector<std::size_t> CAnswerShaper::PieceStarts(std::size_t size,
                                                    std::span<const std::size_t> gaps) {
    std::vector<std::size_t> starts;
    if (size == 0) return starts;
    switch (m_Options.mode) {
        case AnswerMode::Burst:
            return {0};
        case AnswerMode::Paced:
            for (std::size_t i = 0; i < size; ++i) starts.push_back(i);
            return starts;
        case AnswerMode::Split:
            break;
    }
    std::uniform_int_distribution<std::size_t> length(1, kMaxPiece);
    for (std::size_t start = 0; start < size; start += length(m_Random)) starts.push_back(start);
    // A piece is written at once, so it cannot hold a gap: cut there as well.
    starts.insert(starts.end(), gaps.begin(), gaps.end());
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

Nanos CAnswerShaper::Offset(std::size_t position, std::span<const std::size_t> gaps) const {
    if (m_Options.mode == AnswerMode::Burst) return Nanos{0};
    const auto gapsBefore = std::upper_bound(gaps.begin(), gaps.end(), position) - gaps.begin();
    return LineTime(position, m_Options.baud) + gapsBefore * Nanos{m_Options.replyGap};
}

}  // namespace keltrove::device
