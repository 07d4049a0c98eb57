#include "SystemError.h"

#include <cerrno>
#include <system_error>

namespace keltrove {

namespace {

// What the user can do about `error`; empty when there is nothing to say.
std::string_view HintFor(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "add the user to the group that owns the device (usually dialout), "
                   "then log in again";
        case EBUSY:        // open() of a port another program holds with TIOCEXCL
        case EWOULDBLOCK:  // flock() of a port another program has locked
            return "another program is using the port";
        case ENOTTY:
            return "it is not a serial port";
        default:
            return {};
    }
}

}  // namespace

std::string DescribeSystemError(std::string_view device, int error, std::string_view what) {
    std::string reason(device);
    reason += ": ";
    if (!what.empty()) {
        reason += what;
        reason += ": ";
    }
    // generic_category's message is thread-safe, unlike strerror().
    reason += std::generic_category().message(error);
    if (const std::string_view hint = HintFor(error); !hint.empty()) {
        reason += "; ";
        reason += hint;
    }
    return reason;
}

}  // namespace keltrove
