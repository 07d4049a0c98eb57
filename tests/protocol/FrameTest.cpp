#include <gtest/gtest.h>

#include "Fakes.h"
#include "Frame.h"

namespace keltrove {
namespace {

using test::Bytes;

std::string Value(std::string_view text) {
    const auto v = AlignValue(text);
    return std::string(v.begin(), v.end());
}

TEST(FrameAlignment, RightAlignsTheFirstFourBytesWithZerosOnTheLeft) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "0000"},     {"7", "0007"},    {"12", "0012"},    {"123", "0123"}, {"1234", "1234"},
        {"1 ", "0001"},   {"12  ", "0012"}, {" 12", "0 12"},   {" 1", "00 1"},  {"1 2", "01 2"},
        {"    ", "0000"}, {"A1", "00A1"},   {"12345", "1234"},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(Value(text), expected) << "text '" << text << "'";
    }
    // Any byte value is a value byte; a NUL does not end the text.
    EXPECT_EQ(Value(Bytes({0xFF, 0x01, 0x03, 0x7F})), Bytes({0xFF, 0x01, 0x03, 0x7F}));
    EXPECT_EQ(Value(Bytes({0, 0, 0, 0})), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(Value(Bytes({'1', 0})), Bytes({'0', '0', '1', 0}));
}

TEST(FrameLayout, OnlyStartEndAndReportCommandMakeAnEntryReport) {
    Frame report{0x01, 0x50, 0x05, '1', '2', '3', '4', 0x03};
    EXPECT_TRUE(IsEntryReport(report));
    for (std::size_t pos : {0u, 1u, 7u}) {
        Frame bad = report;
        bad[pos] ^= 0x40;
        EXPECT_FALSE(IsEntryReport(bad)) << "byte " << pos;
    }
}

}  // namespace
}  // namespace keltrove
