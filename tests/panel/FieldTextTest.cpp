// What a field takes, typed or pasted, and how its text becomes the panel's bytes.
#include <gtest/gtest.h>

#include "FieldText.h"

namespace keltrove {
namespace {

TEST(FieldText, TakesWhatThePanelCanCarryAndShowsAndRefusesTheRest) {
    // 1, é, 한, a stray byte, a tab, DEL and U+0085, a control character beyond ASCII.
    const FieldInput split = SplitFieldInput("1\xC3\xA9\xED\x95\x9C\xFF\t\x7F\xC2\x85");
    EXPECT_EQ(split.kept, "1\xC3\xA9");
    EXPECT_EQ(split.refused, "\xED\x95\x9C\xEF\xBF\xBD\t\x7F\xC2\x85");
    EXPECT_EQ(VisibleText(split.refused), "\xED\x95\x9C\xEF\xBF\xBD\\x09\\x7f\\x85");
}

TEST(FieldText, APasteGivesItsFirstLineAndDropsTheLineEnd) {
    const FieldInput cell = PasteInput("12\r\n34\n");  // a copied spreadsheet cell
    EXPECT_EQ(cell.kept, "12");
    EXPECT_EQ(cell.refused, "");
    EXPECT_EQ(PasteInput("\t5").refused, "\t");
    // Only what an edit put in is filtered: a received control byte stays where it is.
    const FieldEdit edit = FilterFieldEdit(
        "a\x01"
        "d",
        "a\x01"
        "12\n34\t"
        "d");
    EXPECT_EQ(edit.text,
              "a\x01"
              "12d");
    EXPECT_EQ(edit.cursor, 4u);
    EXPECT_EQ(edit.refused, "");
    EXPECT_EQ(FilterFieldEdit("\xC3\xA9", "\xC3\xA9\xC3\xA9\t").refused, "\t");
}

TEST(FieldText, FieldsAndEntryTextsAreTheSameCharactersAsUtf8AndAsBytes) {
    EXPECT_EQ(ToEntryTexts({"1\xC3\xA9\xED\x95\x9C"})[0], "1\xE9");
    EXPECT_EQ(ToFieldTexts({std::string("\0\xFF", 2)})[0], std::string("\0\xC3\xBF", 3));
}

}  // namespace
}  // namespace keltrove
