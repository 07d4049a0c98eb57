// SystemError: turns the errno of a failed call into the reason a user reads.
//
// The reason names the device and the system's message, "/dev/ttyS2: No such file or
// directory", and for the failures a user can fix it says how. Callers pass errno on the
// line of the call that failed, before anything else can change it. Callable from any
// thread.
#pragma once

#include <string>
#include <string_view>

namespace keltrove {

// "<device>: <message>", or "<device>: <what>: <message>" when `what` is given, followed by
// a hint for permission denied (join the device's group) and for a port in use.
std::string DescribeSystemError(std::string_view device, int error, std::string_view what = {});

}  // namespace keltrove
