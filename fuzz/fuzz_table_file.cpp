// Feeds arbitrary bytes to the table file parser and checks that it either gives a table or
// problems, never both; that every problem's line exists in the input and its message holds
// no control byte; and that a table it gives survives a write and a read unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "TableFile.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const keltrove::TableParse parsed = keltrove::ParseTableFile(text);
    Check(parsed.table.has_value() == parsed.problems.empty());
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const keltrove::TableProblem& problem : parsed.problems) {
        Check(problem.line >= 0 && problem.line <= lines);
        for (const char c : problem.message) Check(static_cast<unsigned char>(c) >= 0x20);
    }
    if (parsed.table) {
        const keltrove::TableParse again =
            keltrove::ParseTableFile(keltrove::FormatTableFile(*parsed.table));
        Check(again.table && *again.table == *parsed.table);
    }
    return 0;
}
