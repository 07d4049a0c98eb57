// ErrorText: the shape of every system error text the program shows, on each platform:
// "<object>: <what>: <message> (<plain words>)", the parts in brackets only when given.
// Pure; callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace keltrove {

// `message`, followed by "(`plain`)" when there are plain words for it.
inline std::string WithPlainWords(std::string message, std::string_view plain) {
    if (plain.empty()) return message;
    message += " (";
    message += plain;
    message += ")";
    return message;
}

// "<object>: <message>", or "<object>: <what>: <message>" when `what` is given.
inline std::string ErrorText(std::string_view object, std::string_view what,
                             std::string_view message) {
    std::string text(object);
    text += ": ";
    if (!what.empty()) {
        text += what;
        text += ": ";
    }
    text += message;
    return text;
}

}  // namespace keltrove
