// EntryTable: the 32 entries of the device's table, their texts, and sets of entries.
//
// Entries are numbered 1..32, the number carried in byte 2 of a frame. Texts are bytes, one
// per character, exactly as received, typed or sent. Pure data and functions, callable from
// any thread.
#pragma once

#include <array>
#include <bitset>
#include <string>

namespace keltrove {

inline constexpr int kEntryCount = 32;

// The 32 entry texts; index 0 is entry 1.
using EntryTexts = std::array<std::string, kEntryCount>;

// True for 1..32.
constexpr bool IsEntryNumber(int entry) {
    return entry >= 1 && entry <= kEntryCount;
}

// Where entry 1..32 stands in EntryTexts and the like.
constexpr std::size_t EntryIndex(int entry) {
    return static_cast<std::size_t>(entry - 1);
}

// Some of the 32 entries, by number; empty when made.
class EntrySet {
public:
    EntrySet() = default;
    static EntrySet All() { return EntrySet(std::bitset<kEntryCount>().set()); }

    void Add(int entry) { m_Bits.set(EntryIndex(entry)); }
    void Remove(int entry) { m_Bits.reset(EntryIndex(entry)); }
    bool Has(int entry) const { return m_Bits.test(EntryIndex(entry)); }
    bool Empty() const { return m_Bits.none(); }
    int Count() const { return static_cast<int>(m_Bits.count()); }
    EntrySet Without(const EntrySet& other) const { return EntrySet(m_Bits & ~other.m_Bits); }
    bool operator==(const EntrySet&) const = default;

private:
    explicit EntrySet(std::bitset<kEntryCount> bits) : m_Bits(bits) {}

    std::bitset<kEntryCount> m_Bits;
};

// "5", "12 to 32", "3, 7 and 12 to 32": runs of three or more neighbours become ranges.
std::string DescribeEntries(const EntrySet& entries);

}  // namespace keltrove
