#include "FieldText.h"

#include <vector>

namespace keltrove {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at `pos`, which moves past it. A byte that does not begin a well-formed
// sequence (overlong forms and surrogates are not) is U+FFFD, one byte long.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    }
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0u) != 0x80u) {
            ++pos;
            return kReplacement;
        }
        code = (code << 6) | (byte(pos + i) & 0x3Fu);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kShortest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return code;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

FieldInput SplitFieldInput(std::string_view utf8) {
    FieldInput split;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t code = NextCodePoint(utf8, pos);
        AppendUtf8(IsFieldCharacter(code) ? split.kept : split.refused, code);
    }
    return split;
}

FieldInput PasteInput(std::string_view clipboard) {
    return SplitFieldInput(clipboard.substr(0, clipboard.find_first_of("\r\n")));
}

FieldEdit FilterFieldEdit(std::string_view before, std::string_view after) {
    // By characters, so that a shared start or end never splits one.
    const auto starts = [](std::string_view text) {
        std::vector<std::size_t> at;
        for (std::size_t pos = 0; pos < text.size(); NextCodePoint(text, pos)) at.push_back(pos);
        at.push_back(text.size());
        return at;
    };
    const std::vector<std::size_t> was = starts(before);
    const std::vector<std::size_t> is = starts(after);
    const auto character = [](std::string_view text, const std::vector<std::size_t>& at,
                              std::size_t i) { return text.substr(at[i], at[i + 1] - at[i]); };
    const std::size_t wasCount = was.size() - 1;
    const std::size_t isCount = is.size() - 1;
    std::size_t head = 0;
    while (head < wasCount && head < isCount &&
           character(before, was, head) == character(after, is, head)) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < wasCount - head && tail < isCount - head &&
           character(before, was, wasCount - 1 - tail) ==
               character(after, is, isCount - 1 - tail)) {
        ++tail;
    }
    const std::size_t insertStart = is[head];
    const std::size_t insertEnd = is[isCount - tail];
    const FieldInput inserted = PasteInput(after.substr(insertStart, insertEnd - insertStart));
    FieldEdit edit;
    edit.text = std::string(after.substr(0, insertStart)) + inserted.kept;
    edit.cursor = edit.text.size();
    edit.text += after.substr(insertEnd);
    edit.refused = inserted.refused;
    return edit;
}

std::string VisibleText(std::string_view utf8) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t code = NextCodePoint(utf8, pos);
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            text += "\\x";
            text += kDigits[code >> 4];
            text += kDigits[code & 0x0F];
        } else {
            text.append(utf8.substr(start, pos - start));
        }
    }
    return text;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) AppendUtf8(text, static_cast<unsigned char>(c));
    return text;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string bytes;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t code = NextCodePoint(utf8, pos);
        if (code <= 0xFF) bytes += static_cast<char>(code);
    }
    return bytes;
}

FieldTexts ToFieldTexts(const EntryTexts& bytes) {
    FieldTexts fields;
    for (std::size_t i = 0; i < fields.size(); ++i) fields[i] = Latin1ToUtf8(bytes[i]);
    return fields;
}

EntryTexts ToEntryTexts(const FieldTexts& fields) {
    EntryTexts bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = Utf8ToLatin1(fields[i]);
    return bytes;
}

}  // namespace keltrove
