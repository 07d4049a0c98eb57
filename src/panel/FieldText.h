// FieldText: what an entry field may hold, and its text as the panel takes it.
//
// A value goes to the panel one byte a character, so a field holds Latin-1 characters
// only (U+0000 to U+00FF); the window refuses any other, typed or pasted, and says so. The
// window's texts are UTF-8; the session's entry texts are the bytes themselves. Pure
// functions, callable from any thread.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "EntryTable.h"

namespace keltrove {

// What the 32 fields show, as UTF-8; index 0 is entry 1.
using FieldTexts = std::array<std::string, kEntryCount>;

struct Latin1Split {
    std::string kept;     // the Latin-1 characters, in order, as UTF-8
    std::string refused;  // the others; a byte that is not UTF-8 counts as U+FFFD
};

Latin1Split SplitLatin1(std::string_view utf8);

// Latin-1 bytes as UTF-8, and back; characters outside Latin-1 are left out.
std::string Latin1ToUtf8(std::string_view bytes);
std::string Utf8ToLatin1(std::string_view utf8);

FieldTexts ToFieldTexts(const EntryTexts& bytes);
EntryTexts ToEntryTexts(const FieldTexts& fields);

}  // namespace keltrove
