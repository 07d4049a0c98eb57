// EntryTable: the 32 entries of the device's table and their fields' control IDs.
//
// Entries are numbered 1..32, the number carried in byte 2 of a frame. The control IDs go
// in blocks of four but follow no formula (29..32 are 1058..1061), hence a table.
// Pure data, callable from any thread.
#pragma once

#include <array>
#include <string>

namespace keltrove {

inline constexpr int kEntryCount = 32;

// The 32 entry texts, stored as bytes (one byte per character); index 0 is entry 1.
using EntryTexts = std::array<std::string, kEntryCount>;

// Control ID of the entry's field, for entry 1..32; 0 for any other number.
int EntryControlId(int entry);

// True for 1..32.
constexpr bool IsEntryNumber(int entry) {
    return entry >= 1 && entry <= kEntryCount;
}

}  // namespace keltrove
