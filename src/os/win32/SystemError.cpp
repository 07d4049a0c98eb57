#include "SystemError.h"

#include <utility>

#include "ErrorText.h"

namespace keltrove {

namespace {

// What the system's words mean to someone saving or loading a table; empty when plain.
std::string_view FilePlainWords(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "there is no such file";
        case ERROR_PATH_NOT_FOUND:
            return "there is no such folder";
        case ERROR_ACCESS_DENIED:
            return "it is read-only, or you may not change it; choose another place";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "another program has it open";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "the disk is full";
        case ERROR_WRITE_PROTECT:
            return "the disk is write-protected";
        default:
            return {};
    }
}

// The system's own words for `error`, without the ".\r\n" they end in.
std::string MessageOf(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length != 0 ? Narrow(std::wstring_view(buffer, length)) : std::string();
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' ||
                             text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) text = "error " + std::to_string(error);
    return text;
}

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
    return WithPlainWords(MessageOf(error), PlainWords(error));
}

std::string DescribeSystemError(std::string_view object, DWORD error, std::string_view what) {
    return ErrorText(object, what, SystemMessage(error));
}

std::string DescribeFileError(std::string_view path, DWORD error, std::string_view what) {
    return ErrorText(path, what, WithPlainWords(MessageOf(error), FilePlainWords(error)));
}

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

}  // namespace keltrove
