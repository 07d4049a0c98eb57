#include "EntryTable.h"

#include <vector>

namespace keltrove {

std::string DescribeEntries(const EntrySet& entries) {
    std::vector<std::string> runs;
    for (int first = 1; first <= kEntryCount; ++first) {
        if (!entries.Has(first)) continue;
        int last = first;
        while (last < kEntryCount && entries.Has(last + 1)) ++last;
        if (last - first >= 2) {
            runs.push_back(std::to_string(first) + " to " + std::to_string(last));
        } else {  // "31 and 32", not "31 to 32"
            for (int entry = first; entry <= last; ++entry) runs.push_back(std::to_string(entry));
        }
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
