#include "TableFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "Frame.h"

namespace keltrove {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kFirstLine = "# Keltrove table: entry number, a blank, then the value";

std::string Hex(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

// Bytes the writer escapes: C0 controls, DEL and C1 controls, and the backslash.
bool NeedsEscape(unsigned char byte) {
    return byte < 0x20 || (byte >= 0x7F && byte <= 0x9F) || byte == '\\';
}

// One code point from the front of `text`, which is consumed; none for invalid UTF-8.
std::optional<char32_t> TakeCodePoint(std::string_view& text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const int length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
    if (length == 0 || text.size() < static_cast<std::size_t>(length)) return std::nullopt;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        if ((next >> 6) != 0x2) return std::nullopt;
        point = (point << 6) | (next & 0x3F);
    }
    // Overlong forms have a shorter spelling; they are not UTF-8.
    static constexpr std::array<char32_t, 5> kLeast{0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[static_cast<std::size_t>(length)] || point > 0x10FFFF) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(length));
    return point;
}

struct Value {
    std::string bytes;
    std::string problem;  // empty when the value is good
};

// The value of a table line: UTF-8 text with escapes, to Latin-1 bytes.
Value DecodeValue(std::string_view text) {
    Value value;
    while (!text.empty()) {
        if (text.starts_with("\\\\")) {
            value.bytes += '\\';
            text.remove_prefix(2);
            continue;
        }
        if (text.front() == '\\') {
            unsigned byte = 0;
            const bool hex =
                text.size() >= 4 && text[1] == 'x' &&
                std::from_chars(text.data() + 2, text.data() + 4, byte, 16).ptr == text.data() + 4;
            if (!hex) {
                value.problem = "a backslash must start \\\\ or \\xHH";
                return value;
            }
            value.bytes += static_cast<char>(byte);
            text.remove_prefix(4);
            continue;
        }
        const std::optional<char32_t> point = TakeCodePoint(text);
        if (!point) {
            value.problem = "the line is not valid UTF-8";
            return value;
        }
        if (*point < 0x20 || *point == 0x7F) {
            value.problem = "a control character stands in the value; write it as " +
                            Hex(static_cast<unsigned char>(*point));
            return value;
        }
        if (*point > 0xFF) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*point));
            value.problem = std::string("character ") + code +
                            " is not in Latin-1, so the panel cannot hold it";
            return value;
        }
        value.bytes += static_cast<char>(*point);
    }
    return value;
}

// The entry number at the front of a table line, and what follows it.
struct Entry {
    std::optional<int> number;  // none when the line does not start with digits
    std::string_view digits;
    std::string_view rest;
};

Entry SplitEntry(std::string_view line) {
    const std::size_t digits = line.find_first_not_of("0123456789");
    Entry entry;
    entry.digits = line.substr(0, digits);
    if (entry.digits.empty()) return entry;
    entry.rest = digits == std::string_view::npos ? std::string_view{} : line.substr(digits);
    int number = 0;
    const auto [end, error] =
        std::from_chars(entry.digits.data(), entry.digits.data() + entry.digits.size(), number);
    entry.number = error == std::errc{} ? number : kEntryCount + 1;  // huge: out of range
    return entry;
}

// One line for a file that is not text of this format at all, or empty.
std::string NotTextProblem(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return "UTF-16 text (Notepad's \"Unicode\"), not a table file; save it as UTF-8 "
               "and try again";
    }
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return {};
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(nul), '\n');
    return "not a table file: binary content at line " + std::to_string(line);
}

class CParser {
public:
    explicit CParser(MissingEntries missing) : m_Missing(missing) {}

    TableParse Parse(std::string_view text) {
        if (text.size() > kMaxTableFileBytes) {
            Problem(0, TooLargeForATable());
            return Finish();
        }
        if (std::string problem = NotTextProblem(text); !problem.empty()) {
            Problem(0, std::move(problem));
            return Finish();
        }
        if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
        int number = 0;
        while (!text.empty()) {
            ++number;
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
            if (line.ends_with('\r')) line.remove_suffix(1);
            Line(number, line);
        }
        const EntrySet missing = EntrySet::All().Without(m_Seen);
        if (!missing.Empty() && m_Missing == MissingEntries::Refuse) {
            Problem(0, std::string(missing.Count() == 1 ? "entry " : "entries ") +
                           DescribeEntries(missing) + (missing.Count() == 1 ? " is" : " are") +
                           " missing, and a write needs all 32; if they were not read from the "
                           "panel, read it again, or add lines such as \"" +
                           std::to_string(FirstOf(missing)) + " 0000\"");
        }
        TableParse result = Finish();
        result.missing = missing;
        return result;
    }

private:
    void Line(int number, std::string_view line) {
        if (line.empty() || line.starts_with('#')) return;
        const Entry entry = SplitEntry(line);
        if (!entry.number || (!entry.rest.empty() && entry.rest.front() != ' ')) {
            std::string quoted(1, '"');  // appended, not prefixed: GCC 12 warns wrongly on that
            quoted += EscapeForMessage(line);
            Problem(number, quoted +
                                "\" is not a table line: the entry number 1 to 32, a blank, "
                                "then the value");
            return;
        }
        const int index = *entry.number;
        if (!IsEntryNumber(index)) {
            Problem(number, "entry " + EscapeForMessage(entry.digits) +
                                " does not exist; the entries are 1 to 32");
            return;
        }
        const Value value = DecodeValue(entry.rest.empty() ? entry.rest : entry.rest.substr(1));
        if (!value.problem.empty()) {
            Problem(number, "entry " + std::to_string(index) + ": " + value.problem);
            return;
        }
        if (value.bytes.size() > kValueSize) {
            Problem(number, "entry " + std::to_string(index) + ": the value \"" +
                                EscapeForMessage(value.bytes) + "\" is longer than 4 characters");
            return;
        }
        const auto slot = static_cast<std::size_t>(index - 1);
        if (m_Seen.Has(index)) {
            Problem(number, "entry " + std::to_string(index) + " is given twice (first on line " +
                                std::to_string(m_FirstLine[slot]) + ")");
            return;
        }
        m_Seen.Add(index);
        m_FirstLine[slot] = number;
        m_Table[slot] = value.bytes;
    }

    void Problem(int line, std::string message) {
        m_Problems.push_back({line, std::move(message)});
    }

    TableParse Finish() {
        TableParse result;
        if (m_Problems.empty()) result.table = m_Table;
        result.problems = std::move(m_Problems);
        return result;
    }

    static int FirstOf(const EntrySet& entries) {
        int entry = 1;
        while (!entries.Has(entry)) ++entry;
        return entry;
    }

    MissingEntries m_Missing;
    EntryTexts m_Table;
    EntrySet m_Seen;
    std::array<int, kEntryCount> m_FirstLine{};
    std::vector<TableProblem> m_Problems;
};

}  // namespace

std::string TooLargeForATable() {
    return "larger than " + std::to_string(kMaxTableFileBytes / 1024) +
           " KiB, so it is not a table file";
}

TableParse ParseTableFile(std::string_view text, MissingEntries missing) {
    return CParser(missing).Parse(text);
}

std::string FormatTableFile(const EntryTexts& table, std::span<const std::string> notes,
                            const EntrySet& omitted) {
    std::string text(kFirstLine);
    text += '\n';
    for (const std::string& note : notes) text += "# " + note + '\n';
    if (!omitted.Empty()) {
        const bool one = omitted.Count() == 1;
        text += std::string("# ") + (one ? "entry " : "entries ") + DescribeEntries(omitted) +
                (one ? " was not read from the panel and is"
                     : " were not read from the panel and are") +
                " left out\n";
    }
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (omitted.Has(entry)) continue;
        text += std::to_string(entry) + ' ';
        for (const char c : table[EntryIndex(entry)]) {
            const auto byte = static_cast<unsigned char>(c);
            text += byte == '\\' ? std::string("\\\\") : DisplayValue(std::string_view(&c, 1));
        }
        text += '\n';
    }
    return text;
}

std::string DisplayValue(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte != '\\' && NeedsEscape(byte)) {
            text += Hex(byte);
        } else if (byte < 0x80) {
            text += c;
        } else {  // Latin-1 to UTF-8
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string DescribeProblem(std::string_view file, const TableProblem& problem) {
    std::string text(file);
    if (problem.line > 0) {
        text += ':';
        text += std::to_string(problem.line);
    }
    return text + ": " + problem.message;
}

std::string EscapeForMessage(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte >= 0x7F ? Hex(byte) : std::string(1, c);
    }
    return text;
}

}  // namespace keltrove
