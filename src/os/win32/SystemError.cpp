#include "SystemError.h"

#include <utility>

#include "ErrorText.h"

namespace keltrove {

namespace {

// What the system's words mean to someone at a serial port; empty when they are plain.
std::string_view PlainWords(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "there is no such port; Device Manager lists the ports this computer has";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return "another program is using it";
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
            return "the device stopped answering; it may have been unplugged";
        case ERROR_INVALID_FUNCTION:
            return "it is not a serial port";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "the program has too many handles open";
        default:
            return {};
    }
}

}  // namespace

std::string SystemMessage(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length != 0 ? std::string(buffer, length) : std::string();
    if (buffer != nullptr) ::LocalFree(buffer);
    // The system's messages end in ".\r\n"; ours go on after them.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' ||
                             text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) text = "error " + std::to_string(error);
    return WithPlainWords(std::move(text), PlainWords(error));
}

std::string DescribeSystemError(std::string_view object, DWORD error, std::string_view what) {
    return ErrorText(object, what, SystemMessage(error));
}

}  // namespace keltrove
