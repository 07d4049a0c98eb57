#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "DeviceTable.h"
#include "DeviceTestSupport.h"

namespace keltrove::device {
namespace {

using test::Value;

// `count` lines "1", "2", ...
std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += std::to_string(i) + "\n";
    return text;
}

TEST(TableFile, StoresValuesRightAlignedLikeTheProgramWritesThem) {
    std::string text = "7\r\n12\n123\n1234\nA1\n 12\n1 \n";  // a CRLF line among them
    for (int i = 8; i <= 32; ++i) text += "x\n";
    text += "\n\n";  // empty lines at the end are an editor's, not a value

    const TableParse parsed = ParseTable(text);
    ASSERT_TRUE(parsed.table) << parsed.error.line << ": " << parsed.error.message;
    const DeviceTable& table = *parsed.table;
    EXPECT_EQ(table[0], Value("0007"));
    EXPECT_EQ(table[1], Value("0012"));
    EXPECT_EQ(table[2], Value("0123"));
    EXPECT_EQ(table[3], Value("1234"));
    EXPECT_EQ(table[4], Value("00A1"));
    EXPECT_EQ(table[5], Value("0 12"));
    EXPECT_EQ(table[6], Value("0001"));
    EXPECT_EQ(table[31], Value("000x"));
}

TEST(TableFile, NamesTheLineOfEachMistake) {
    struct Case {
        std::string text;
        int line;
        std::string_view says;
    };
    const Case cases[] = {
        {"", 1, "ends after 0 values"},
        {Lines(31), 32, "ends after 31 values"},
        {Lines(33), 33, "more than 32"},
        {Lines(2) + "\n" + Lines(29), 3, "empty line"},
        {Lines(4) + "12345\n" + Lines(27), 5, "longer than 4"},
        {Lines(6) + "1\t2\n" + Lines(25), 7, "0x09"},
        {Lines(6) + "\xc3\xa9\n" + Lines(25), 7, "0xc3"},
    };
    for (const Case& c : cases) {
        const TableParse parsed = ParseTable(c.text);
        EXPECT_FALSE(parsed.table);
        EXPECT_EQ(parsed.error.line, c.line) << parsed.error.message;
        EXPECT_NE(parsed.error.message.find(c.says), std::string::npos) << parsed.error.message;
    }
}

TEST(TableFile, LoadsAFileAndReportsOneItCannotRead) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("keltrove-table-" + std::to_string(getpid()));
    std::ofstream(path) << Lines(32);
    const TableParse loaded = LoadTableFile(path.string());
    std::filesystem::remove(path);
    ASSERT_TRUE(loaded.table);
    EXPECT_EQ((*loaded.table)[9], Value("0010"));

    const TableParse missing = LoadTableFile(path.string());
    ASSERT_FALSE(missing.table);
    EXPECT_EQ(FormatTableError(path.string(), missing.error),
              path.string() + ": No such file or directory");
    EXPECT_EQ(FormatTableError("t.txt", {3, "empty line"}), "t.txt:3: empty line");
}

}  // namespace
}  // namespace keltrove::device
