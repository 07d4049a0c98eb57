#include "TableDiff.h"

#include "Frame.h"
#include "TableFile.h"

namespace keltrove {

std::string StoredValue(const std::string& text) {
    const FrameValue wire = AlignValue(text);
    return {wire.begin(), wire.end()};
}

std::vector<EntryDifference> DiffWithPanel(const EntryTexts& panel, const EntryTexts& file) {
    std::vector<EntryDifference> differences;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const auto index = EntryIndex(entry);
        const std::string stored = StoredValue(file[index]);
        if (panel[index] == file[index] || panel[index] == stored) continue;
        differences.push_back({entry, panel[index], stored});
    }
    return differences;
}

std::vector<EntryDifference> NotRestorable(const EntryTexts& panel) {
    std::vector<EntryDifference> entries;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const std::string& value = panel[EntryIndex(entry)];
        if (value.size() != kValueSize) continue;  // shorter: the alignment is what is meant
        if (std::string stored = StoredValue(value); stored != value) {
            entries.push_back({entry, value, std::move(stored)});
        }
    }
    return entries;
}

std::vector<std::string> DescribeNotRestorable(const std::vector<EntryDifference>& entries) {
    std::vector<std::string> lines;
    for (const EntryDifference& entry : entries) {
        lines.push_back("entry " + std::to_string(entry.entry) + " holds \"" +
                        DisplayValue(entry.panel) + "\", which a write would store as \"" +
                        DisplayValue(entry.stored) + "\"");
    }
    return lines;
}

}  // namespace keltrove
