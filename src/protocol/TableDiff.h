// TableDiff: a panel's table against a table file, as every front end compares them.
//
// An entry matches when the panel holds the file's value exactly, or holds what writing
// the file would store (the value right-aligned and filled with "0"). So a backup that a
// read made verifies clean, and so does a panel written from a file of short values.
// Some panel values cannot be put back as they stand: a write aligns trailing blanks away.
// Pure functions, callable from any thread.
#pragma once

#include <string>
#include <vector>

#include "EntryTable.h"

namespace keltrove {

struct EntryDifference {
    int entry = 0;
    std::string panel;   // as the panel holds it
    std::string stored;  // what writing the file's value would store
};

// The entries where `panel` holds neither the file's value nor what writing it stores.
std::vector<EntryDifference> DiffWithPanel(const EntryTexts& panel, const EntryTexts& file);

// The four bytes a write of `text` stores.
std::string StoredValue(const std::string& text);

// The entries holding four bytes, as a panel does, that a write of the same table would
// store otherwise (trailing blanks, blanks only): `panel` holds the value, `stored` what a
// write would put in its place.
std::vector<EntryDifference> NotRestorable(const EntryTexts& panel);

// "entry 5 holds "12  ", which a write would store as "0012"", one line per entry; for
// messages and for the comment lines of a table file.
std::vector<std::string> DescribeNotRestorable(const std::vector<EntryDifference>& entries);

}  // namespace keltrove
