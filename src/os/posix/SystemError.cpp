#include "SystemError.h"

#include <system_error>

#include "ErrorText.h"

namespace keltrove {

namespace {

// Plain words that hold whatever the object is.
std::string_view CommonPlainWords(int error) {
    switch (error) {
        case ELOOP:
            return "a symbolic link leads round in a loop";
        case EMFILE:
        case ENFILE:
            return "the program has too many files open";
        default:
            return {};
    }
}

// What the system's words mean to someone saving or loading a table; empty when plain.
std::string_view FilePlainWords(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "you may not use it; check its permissions, or choose another place";
        case EROFS:
            return "the disk is read-only";
        case ENOSPC:
        case EDQUOT:
            return "the disk is full";
        default:
            return CommonPlainWords(error);
    }
}

// What the system's words mean to someone at a serial port; empty when they are plain.
std::string_view PlainWords(int error) {
    switch (error) {
        case ENOTTY:
            return "it is not a serial port";
        case EAGAIN:
            return "the device is busy; try again";
        case EIO:
            return "the device stopped answering; it may have been unplugged";
        case ENXIO:
        case ENODEV:
            return "the device is not there; it may have been unplugged";
        case EBUSY:
            return "another program is using it";
        default:
            return CommonPlainWords(error);
    }
}

}  // namespace

std::string SystemMessage(int error) {
    // generic_category's message is thread-safe, unlike strerror().
    return WithPlainWords(std::generic_category().message(error), PlainWords(error));
}

std::string DescribeSystemError(std::string_view object, int error, std::string_view what) {
    return ErrorText(object, what, SystemMessage(error));
}

std::string DescribeFileError(std::string_view path, int error, std::string_view what) {
    return ErrorText(path, what,
                     WithPlainWords(std::generic_category().message(error), FilePlainWords(error)));
}

}  // namespace keltrove
