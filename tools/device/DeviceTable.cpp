#include "DeviceTable.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace keltrove::device {

namespace {

constexpr std::size_t kMaxValueChars = kValueSize;
// Far more than 32 short lines need; stops a wrong path such as /dev/zero from reading forever.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

// Why `value` cannot be a table value; empty when it can.
std::string ValueProblem(std::string_view value) {
    if (value.empty()) return "empty line; each line holds one value of 1 to 4 characters";
    if (value.size() > kMaxValueChars) {
        return "value \"" + std::string(value) + "\" is longer than 4 characters";
    }
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02x", byte);
            return std::string("value holds a character that is not printable ASCII (") + hex + ")";
        }
    }
    return {};
}

TableParse Failure(int line, std::string message) {
    TableParse result;
    result.error = {line, std::move(message)};
    return result;
}

// The text without trailing empty lines (and their "\r"), which editors tend to leave.
std::string_view WithoutTrailingEmptyLines(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

DeviceTable DefaultTable() {
    DeviceTable table{};
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        auto& value = table[static_cast<std::size_t>(entry - 1)];
        value = {'0', '1', static_cast<std::uint8_t>('0' + entry / 10),
                 static_cast<std::uint8_t>('0' + entry % 10)};
    }
    return table;
}

TableParse ParseTable(std::string_view text) {
    text = WithoutTrailingEmptyLines(text);
    DeviceTable table{};
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        std::string_view value = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!value.empty() && value.back() == '\r') value.remove_suffix(1);  // CRLF files
        if (line > kEntryCount) return Failure(line, "more than 32 values");
        if (std::string problem = ValueProblem(value); !problem.empty()) {
            return Failure(line, std::move(problem));
        }
        table[static_cast<std::size_t>(line - 1)] = AlignValue(value);
    }
    if (line < kEntryCount) {
        return Failure(line + 1, "the file ends after " + std::to_string(line) +
                                     " values; 32 are needed, one per line");
    }
    return {table, {}};
}

TableParse LoadTableFile(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) return Failure(0, std::generic_category().message(errno));
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > kMaxFileBytes) return Failure(0, "too large for a table file");
    }
    if (std::ferror(file.get())) return Failure(0, "read error");
    return ParseTable(text);
}

std::string FormatTableError(const std::string& path, const TableError& error) {
    if (error.line == 0) return path + ": " + error.message;
    return path + ":" + std::to_string(error.line) + ": " + error.message;
}

}  // namespace keltrove::device
