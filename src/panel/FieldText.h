// FieldText: what an entry field may hold, and its text as the panel takes it.
//
// A value goes to the panel one byte a character, so a field takes Latin-1 characters
// only (U+0000 to U+00FF), and of those no control character (below U+0020, and U+007F to
// U+009F), which would travel unseen; the window refuses any other, typed or pasted, and
// says so. A paste gives a field its first line only: a copied spreadsheet cell ends in a
// line end, which is dropped, not refused. The window's texts are UTF-8; the session's entry
// texts are the bytes themselves. Pure functions, callable from any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "EntryTable.h"

namespace keltrove {

// What the 32 fields show, as UTF-8; index 0 is entry 1.
using FieldTexts = std::array<std::string, kEntryCount>;

// A character a field takes: one the panel can carry, and that shows.
constexpr bool IsFieldCharacter(char32_t code) {
    return code >= 0x20 && code <= 0xFF && !(code >= 0x7F && code <= 0x9F);
}

struct FieldInput {
    std::string kept;     // what the field takes, in order, as UTF-8
    std::string refused;  // the others; a byte that is not UTF-8 counts as U+FFFD
};

// Typed or pasted text, character by character.
FieldInput SplitFieldInput(std::string_view utf8);
// What a paste gives a field: its first line only, without the line end.
FieldInput PasteInput(std::string_view clipboard);

// A field's text after an edit changed it from `before` to `after`, as it may stand: what
// the edit put in (what lies between the start and the end that both share) keeps its first
// line and loses what a field may not hold; what the field held already stays as it was,
// control bytes of a received value included.
struct FieldEdit {
    std::string text;
    std::size_t cursor = 0;  // in bytes of `text`: just behind what the edit put in
    std::string refused;
};
FieldEdit FilterFieldEdit(std::string_view before, std::string_view after);

// `utf8` with its control characters as \xHH, for a message that quotes them.
std::string VisibleText(std::string_view utf8);

// Latin-1 bytes as UTF-8, and back; characters outside Latin-1 are left out.
std::string Latin1ToUtf8(std::string_view bytes);
std::string Utf8ToLatin1(std::string_view utf8);

FieldTexts ToFieldTexts(const EntryTexts& bytes);
EntryTexts ToEntryTexts(const FieldTexts& fields);

}  // namespace keltrove
