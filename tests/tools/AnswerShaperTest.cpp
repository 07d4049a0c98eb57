#include <gtest/gtest.h>

#include <algorithm>

#include "AnswerShaper.h"
#include "DeviceModel.h"
#include "DeviceTestSupport.h"
#include "RxAssembler.h"

namespace keltrove::device {
namespace {

using namespace std::chrono_literals;

std::vector<Frame> FullAnswer() {
    CDeviceModel model(DefaultTable());
    return model.Handle(test::CommandFrame(Command::ReadRequest)).replies;
}

std::vector<std::uint8_t> Stream(const Answer& answer) {
    std::vector<std::uint8_t> stream;
    for (const TxPiece& piece : answer.pieces) {
        stream.insert(stream.end(), piece.bytes.begin(), piece.bytes.end());
    }
    return stream;
}

std::vector<std::uint8_t> FramesOnly(const Answer& answer) {
    std::vector<std::uint8_t> frames;
    for (const TxSegment& segment : answer.segments) {
        if (segment.isFrame)
            frames.insert(frames.end(), segment.bytes.begin(), segment.bytes.end());
    }
    return frames;
}

class AnswerShaping : public ::testing::Test {
protected:
    Answer Shape(ShapeOptions options, std::uint32_t seed = 1) {
        std::mt19937 random(seed);
        return CAnswerShaper(options, random).Shape(m_Reports);
    }

    const std::vector<Frame> m_Reports = FullAnswer();
    const std::vector<std::uint8_t> m_Plain = test::Bytes(m_Reports);
};

TEST_F(AnswerShaping, PacedSendsEachByteAtItsLineTime) {
    const Answer answer = Shape({AnswerMode::Paced});
    ASSERT_EQ(answer.pieces.size(), m_Plain.size());
    EXPECT_EQ(Stream(answer), m_Plain);
    for (std::size_t i = 0; i < answer.pieces.size(); ++i) {
        EXPECT_EQ(answer.pieces[i].at, LineTime(i, kDefaultBaud));
    }
    EXPECT_GT(LineTime(1, kDefaultBaud), 1ms);  // 9600 baud: about 1.04 ms a byte
    EXPECT_EQ(answer.lineTime, LineTime(256, kDefaultBaud));
}

TEST_F(AnswerShaping, BurstIsOneWriteWithNoPacing) {
    const Answer answer = Shape({AnswerMode::Burst});
    ASSERT_EQ(answer.pieces.size(), 1u);
    EXPECT_EQ(answer.pieces[0].at, Nanos{0});
    EXPECT_EQ(answer.pieces[0].bytes, m_Plain);
    EXPECT_EQ(answer.lineTime, Nanos{0});
}

TEST_F(AnswerShaping, SplitPiecesCutThroughFramesAndAddUpToTheStream) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        const Answer answer = Shape({AnswerMode::Split}, seed);
        EXPECT_EQ(Stream(answer), m_Plain) << "seed " << seed;
        std::size_t start = 0;
        bool cutInsideAFrame = false;
        for (const TxPiece& piece : answer.pieces) {
            EXPECT_GE(piece.bytes.size(), 1u);
            EXPECT_LE(piece.bytes.size(), CAnswerShaper::kMaxPiece);
            EXPECT_EQ(piece.at, LineTime(start, kDefaultBaud));
            cutInsideAFrame = cutInsideAFrame || start % kFrameSize != 0;
            start += piece.bytes.size();
        }
        EXPECT_TRUE(cutInsideAFrame) << "seed " << seed;
    }
}

TEST_F(AnswerShaping, NoiseNeverHoldsAFrameStartSoEveryReportIsFound) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        const Answer answer = Shape({AnswerMode::Split, kDefaultBaud, 0ms, true}, seed);
        EXPECT_EQ(FramesOnly(answer), m_Plain);
        for (const TxSegment& segment : answer.segments) {
            if (segment.isFrame) continue;
            EXPECT_GE(segment.bytes.size(), 1u);
            EXPECT_LE(segment.bytes.size(), CAnswerShaper::kMaxNoise);
            EXPECT_EQ(std::count(segment.bytes.begin(), segment.bytes.end(), kFrameStart), 0);
        }
        // The program's assembler finds all 32 reports in the noisy stream.
        CRxAssembler assembler;
        std::vector<Frame> found;
        for (const std::uint8_t byte : Stream(answer)) {
            if (assembler.Push(byte)) found.push_back(assembler.RxFrame());
        }
        EXPECT_EQ(found, m_Reports) << "seed " << seed;
    }
}

TEST_F(AnswerShaping, ReplyGapIdlesTheLineBetweenReports) {
    const Answer paced = Shape({AnswerMode::Paced, kDefaultBaud, 30ms});
    for (std::size_t report = 0; report < m_Reports.size(); ++report) {
        const std::size_t first = report * kFrameSize;
        EXPECT_EQ(paced.pieces[first].at, LineTime(first, kDefaultBaud) + report * Nanos{30ms});
    }
    EXPECT_EQ(paced.lineTime, LineTime(256, kDefaultBaud) + 31 * Nanos{30ms});

    // Split pieces are written at once, so none may hold a gap.
    const Answer split = Shape({AnswerMode::Split, kDefaultBaud, 30ms, true}, 3);
    std::vector<std::size_t> reportStarts;
    for (const TxSegment& segment : split.segments) {
        if (!segment.isFrame) reportStarts.push_back(segment.end - segment.bytes.size());
    }
    std::size_t start = 0;
    for (const TxPiece& piece : split.pieces) {
        for (const std::size_t reportStart : reportStarts) {
            EXPECT_FALSE(reportStart > start && reportStart < start + piece.bytes.size());
        }
        start += piece.bytes.size();
    }
}

TEST_F(AnswerShaping, ASeedRepeatsTheAnswer) {
    const ShapeOptions options{AnswerMode::Split, kDefaultBaud, 0ms, true};
    EXPECT_EQ(Stream(Shape(options, 42)), Stream(Shape(options, 42)));
    EXPECT_NE(Stream(Shape(options, 42)), Stream(Shape(options, 43)));
}

}  // namespace
}  // namespace keltrove::device
