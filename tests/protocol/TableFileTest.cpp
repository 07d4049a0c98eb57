#include <gtest/gtest.h>

#include "TableDiff.h"
#include "TableFile.h"

namespace keltrove {
namespace {

std::vector<std::string> Problems(std::string_view text) {
    std::vector<std::string> out;
    for (const TableProblem& problem : ParseTableFile(text).problems) {
        out.push_back(DescribeProblem("f", problem));
    }
    return out;
}

std::string Lines(int first, int last) {
    std::string text;
    for (int entry = first; entry <= last; ++entry) text += std::to_string(entry) + " 01\n";
    return text;
}

TEST(TableFile, WhatItWritesReadsBackByteForByte) {
    EntryTexts table;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        table[static_cast<std::size_t>(entry - 1)] = std::to_string(100 + entry);
    }
    table[0] = "";
    table[1] = " 1 ";  // inner and trailing blanks are kept
    table[2] = "    ";
    table[3] = std::string("\0\n\x1B\\", 4);
    table[4] = "\xE9\xFF\x85";  // Latin-1 letters, and a C1 control that is escaped
    const std::string text = FormatTableFile(table, std::vector<std::string>{"read from COM1"});
    EXPECT_TRUE(text.starts_with("# Keltrove table"));
    EXPECT_NE(text.find("\n# read from COM1\n"), std::string::npos);
    EXPECT_NE(text.find("\n4 \\x00\\x0A\\x1B\\\\\n"), std::string::npos);
    EXPECT_NE(text.find("\n5 \xC3\xA9\xC3\xBF\\x85\n"), std::string::npos);
    const TableParse parsed = ParseTableFile(text);
    ASSERT_TRUE(parsed.table) << DescribeProblem("f", parsed.problems.front());
    EXPECT_EQ(*parsed.table, table);

    // What people and other editors write: any order, CRLF, a BOM, empty lines, a value
    // without its blank.
    std::string edited = "\xEF\xBB\xBF# mine\r\n\r\n32 7\r\n1\r\n" + Lines(2, 31);
    const TableParse mine = ParseTableFile(edited);
    ASSERT_TRUE(mine.table);
    EXPECT_EQ((*mine.table)[0], "");
    EXPECT_EQ((*mine.table)[31], "7");
}

TEST(TableFile, EveryProblemIsReportedWithItsLine) {
    const std::string text =
        "1 0101\n"
        "2 12345\n"
        "1 0202\n"
        "33 1\n"
        "x 1\n"
        "3\t1\n"
        "4 \xE4\xB8\x80\n"
        "5 a\\q\n"
        "6 \x1B]0;X\x07\n" +
        Lines(7, 30);
    EXPECT_EQ(Problems(text),
              (std::vector<std::string>{
                  "f:2: entry 2: the value \"12345\" is longer than 4 characters",
                  "f:3: entry 1 is given twice (first on line 1)",
                  "f:4: entry 33 does not exist; the entries are 1 to 32",
                  "f:5: \"x 1\" is not a table line: the entry number 1 to 32, a blank, then the "
                  "value",
                  "f:6: \"3\\x091\" is not a table line: the entry number 1 to 32, a blank, then "
                  "the value",
                  "f:7: entry 4: character U+4E00 is not in Latin-1, so the panel cannot hold it",
                  "f:8: entry 5: a backslash must start \\\\ or \\xHH",
                  "f:9: entry 6: a control character stands in the value; write it as \\x1B",
                  "f: entries 2 to 6, 31 and 32 are missing, and a write needs all 32; if they "
                  "were not read from the panel, read it again, or add lines such as \"2 0000\"",
              }));
    EXPECT_EQ(Problems(std::string(kMaxTableFileBytes + 1, '#')),
              std::vector<std::string>{"f: larger than 64 KiB, so it is not a table file"});
    EXPECT_EQ(Problems(Lines(1, 32) +
                       "\x7F"
                       "ELF\x02\x01" +
                       std::string(3000, '\0')),
              std::vector<std::string>{"f: not a table file: binary content at line 33"});
    EXPECT_EQ(Problems("\xFF\xFE"
                       "1\0 \0"
                       "1\0"),
              std::vector<std::string>{"f: UTF-16 text (Notepad's \"Unicode\"), not a table "
                                       "file; save it as UTF-8 and try again"});
}

TEST(TableDiff, ABackupOrATableOfShortValuesMatchesThePanel) {
    EntryTexts panel;
    panel.fill("0012");
    panel[0] = "12  ";
    panel[1] = std::string(4, '\0');
    panel[2] = "    ";
    EntryTexts file = panel;  // a backup: the panel's bytes as they stand
    file[3] = "12";           // a short value, which a write stores as 0012
    EXPECT_TRUE(DiffWithPanel(panel, file).empty());

    file[4] = "13";
    file[5] = std::string(4, '\0') + "x";
    const std::vector<EntryDifference> differ = DiffWithPanel(panel, file);
    ASSERT_EQ(differ.size(), 2u);
    EXPECT_EQ(differ[0].entry, 5);
    EXPECT_EQ(differ[0].stored, "0013");
    EXPECT_EQ(differ[1].stored, std::string(4, '\0'));

    // A write cannot put trailing blanks back; NULs it can.
    EXPECT_EQ(DescribeNotRestorable(NotRestorable(panel)),
              (std::vector<std::string>{
                  "entry 1 holds \"12  \", which a write would store as \"0012\"",
                  "entry 3 holds \"    \", which a write would store as \"0000\""}));
}

}  // namespace
}  // namespace keltrove
