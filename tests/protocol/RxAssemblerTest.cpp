#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Fakes.h"
#include "RxAssembler.h"

namespace keltrove {
namespace {

using test::Report;

class RxAssembly : public ::testing::Test {
protected:
    // Feeds bytes; returns the completed frames as strings.
    std::vector<std::string> Feed(std::string_view bytes) {
        std::vector<std::string> frames;
        for (char c : bytes) {
            const RxStep step = m_Assembler.Push(static_cast<std::uint8_t>(c));
            m_nDiscarded += step.discarded.size();
            if (step.frame) frames.emplace_back(step.frame->begin(), step.frame->end());
        }
        return frames;
    }
    // Returns the bytes of a frame cut short by the last tick.
    std::string Ticks(int n) {
        std::string cut;
        for (int i = 0; i < n; ++i) {
            const auto bytes = m_Assembler.Tick();
            cut.assign(bytes.begin(), bytes.end());
        }
        return cut;
    }

    CRxAssembler m_Assembler;
    std::size_t m_nDiscarded = 0;  // bytes handed back as not part of any frame
};

// The noise holds start bytes too, which must not hide the frame that follows them.
TEST_F(RxAssembly, RandomSplitsWithNoiseBeforeAndBetweenFramesLoseNothing) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 200; ++round) {
        std::string stream;
        std::vector<std::string> expected;
        for (int entry = 1; entry <= 32; ++entry) {
            const int noise = std::uniform_int_distribution<int>(0, 3)(rng);
            for (int i = 0; i < noise; ++i) {
                stream.push_back(
                    static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng)));
            }
            expected.push_back(Report(entry, std::to_string(rng() % 10000)));
            stream += expected.back();
        }
        std::vector<std::string> frames;
        m_nDiscarded = 0;
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 40)(rng);
            auto batch = Feed(std::string_view(stream).substr(pos, size));
            frames.insert(frames.end(), batch.begin(), batch.end());
            Ticks(19);  // a batch boundary is no gap as long as the next one comes in time
            pos += size;
        }
        ASSERT_EQ(frames, expected) << "round " << round;
        // A trace sees every byte: in a frame, or handed back as discarded.
        EXPECT_EQ(m_nDiscarded + 8 * frames.size(), stream.size()) << "round " << round;
    }
}

TEST_F(RxAssembly, AByteLostInsideAFrameDropsThatFrameAndFindsTheNext) {
    std::string damaged = Report(1, "1111");
    damaged.erase(4, 1);  // 7 bytes: the next frame's start byte lands in position 7
    const auto frames = Feed(damaged + Report(2, "2222") + Report(3, "3333"));
    EXPECT_EQ(frames, (std::vector<std::string>{Report(2, "2222"), Report(3, "3333")}));
}

TEST_F(RxAssembly, AFrameCutShortIsDiscardedAfterTwentyTicks) {
    Feed(Report(1, "1234"));  // leaves 0x03 in position 7
    const std::string cut = Report(2, "5678").substr(0, 7);
    EXPECT_TRUE(Feed(cut).empty());
    EXPECT_EQ(Ticks(19), "");
    EXPECT_TRUE(m_Assembler.IsCollecting());
    EXPECT_EQ(Ticks(1), cut);
    EXPECT_FALSE(m_Assembler.IsCollecting());
    // The leftover end byte of the earlier frame must not complete the next one early.
    EXPECT_EQ(Feed(Report(3, "0003")), std::vector<std::string>{Report(3, "0003")});
}

}  // namespace
}  // namespace keltrove
