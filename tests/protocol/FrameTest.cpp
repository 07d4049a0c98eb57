#include <gtest/gtest.h>

#include "Frame.h"

namespace keltrove {
namespace {

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
    using namespace std::string_literals;
    EXPECT_EQ(Value("\xFF\x01\x03\x7F"s), "\xFF\x01\x03\x7F"s);
    EXPECT_EQ(Value("\0\0\0\0"s), "\0\0\0\0"s);
    EXPECT_EQ(Value("1\0"s), "001\0"s);
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
