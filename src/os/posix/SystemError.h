// SystemError: the errno of a failed call, as the text a user reads, and the EINTR retry.
//
// The text names the object and the system's message, "/dev/ttyS2: No such file or
// directory", and, where the system's words are jargon, says in plain words what they mean
// ("Inappropriate ioctl for device (it is not a serial port)"). Callers pass errno on the
// line of the call that failed, before anything else can change it. Callable from any
// thread.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>

namespace keltrove {

// "<object>: <message>", or "<object>: <what>: <message>" when `what` is given; `object`
// is a port or a device, and the plain words speak of ports.
std::string DescribeSystemError(std::string_view object, int error, std::string_view what = {});
// The same for a file or a folder: the plain words speak of files.
std::string DescribeFileError(std::string_view path, int error, std::string_view what = {});

// The system's message for `error`, followed by plain words (of ports) where it is jargon.
std::string SystemMessage(int error);

// Runs `call` again while it fails with EINTR; returns its last result.
template <typename Call>
auto RetryOnEintr(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) result = call();
    return result;
}

}  // namespace keltrove
