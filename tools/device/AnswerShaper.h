// AnswerShaper: lays the device's reports out on the line, in time and in pieces.
//
// The reports become one byte stream, cut into pieces; each piece is written to the line in
// one write at its offset from the start of the answer:
//   Paced  every byte its own piece at its line time (10 bits a byte at the baud rate);
//   Burst  the whole answer in one piece at once, with no pacing;
//   Split  pieces of 1 to kMaxPiece bytes at random cut points, each at its line time, so
//          pieces end in the middle of frames and span frame boundaries.
// A reply gap adds idle line time between one report and the next (not in Burst). Noise puts
// 1 to kMaxNoise random bytes before each report; they are never 0x01, so they can never
// look like a frame start and a receiver that skips bytes until 0x01 finds every report.
//
// Single-threaded; randomness comes only from the generator it is given, so a seed repeats
// an answer exactly. No failures.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "Frame.h"
#include "LineTime.h"

namespace keltrove::device {

enum class AnswerMode { Paced, Burst, Split };

struct ShapeOptions {
    AnswerMode mode = AnswerMode::Paced;
    unsigned baud = kLineBaud;
    std::chrono::milliseconds replyGap{0};
    bool noise = false;
};

struct TxPiece {
    Nanos at{0};  // from the start of the answer
    std::vector<std::uint8_t> bytes;
};

// One report or one run of noise; `end` is the stream offset just past its last byte.
struct TxSegment {
    std::size_t end = 0;
    bool isFrame = false;
    std::vector<std::uint8_t> bytes;
};

struct Answer {
    std::vector<TxPiece> pieces;
    std::vector<TxSegment> segments;
    Nanos lineTime{0};  // until the line is free again; 0 in Burst
};

class CAnswerShaper {
public:
    static constexpr std::size_t kMaxNoise = 4;
    static constexpr std::size_t kMaxPiece = 12;

    CAnswerShaper(const ShapeOptions& options, std::mt19937& random)
        : m_Options(options), m_Random(random) {}

    Answer Shape(std::span<const Frame> reports);

private:
    std::vector<std::uint8_t> Noise();
    std::vector<std::size_t> PieceStarts(std::size_t size, std::span<const std::size_t> gaps);
    Nanos Offset(std::size_t position, std::span<const std::size_t> gaps) const;

    ShapeOptions m_Options;
    std::mt19937& m_Random;
};

}  // namespace keltrove::device
