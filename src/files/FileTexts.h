// FileTexts: what FileIo says of a file it refuses, on each platform, and names as a
// terminal may show them. Pure.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "TableFile.h"

namespace keltrove {

// `what` is "a directory", "a FIFO (a named pipe)", ...
inline std::string NotAFileText(const std::string& path, std::string_view what) {
    return path + ": is " + std::string(what) + ", not a file; give the path of a table file";
}

inline std::string TooLargeText(const std::string& path) {
    return path + ": " + TooLargeForATable();
}

// The length of the UTF-8 character that `text` starts with: 1 for ASCII, 2 to 4 for a
// well-formed sequence (no overlong form, no surrogate), 0 for a byte that starts none.
inline std::size_t Utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() < length) return 0;
    // The second byte's range is narrower after the leads that could start an overlong
    // form, a surrogate or a code point beyond U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

// `text` (a file or port name, or a message quoting one) as a terminal may show it: its
// UTF-8 characters kept, and every control character (C0, DEL, C1) and every byte that is
// no part of UTF-8 escaped as EscapeForMessage escapes a file's bytes (\xHH), so that a
// name cannot drive the terminal. Text escaped already stays as it is.
inline std::string DisplayText(std::string_view text) {
    std::string shown;
    while (!text.empty()) {
        const std::size_t length = Utf8Length(text);
        const std::string_view character = text.substr(0, std::max<std::size_t>(length, 1));
        const bool c1 = length == 2 && static_cast<unsigned char>(text[0]) == 0xC2 &&
                        static_cast<unsigned char>(text[1]) < 0xA0;
        shown += length > 1 && !c1 ? std::string(character) : EscapeForMessage(character);
        text.remove_prefix(character.size());
    }
    return shown;
}

}  // namespace keltrove
