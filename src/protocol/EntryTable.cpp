#include "EntryTable.h"

#include <vector>

namespace keltrove {

std::string DescribeEntries(const EntrySet& entries) {
    std::vector<std::string> runs;
    for (int first = 1; first <= kEntryCount; ++first) {
        if (!entries.Has(first)) continue;
        int last = first;
        while (last < kEntryCount && entries.Has(last + 1)) ++last;
        runs.push_back(last == first ? std::to_string(first)
                                     : std::to_string(first) + " to " + std::to_string(last));
        first = last;
    }
    std::string text;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) text += i + 1 == runs.size() ? " and " : ", ";
        text += runs[i];
    }
    return text;
}

}  // namespace keltrove
