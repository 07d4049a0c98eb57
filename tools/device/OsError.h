// OsError: failed system calls of the simulator, as exceptions that name the call and its
// object: "open /tmp/keltrove-1000/.COM1.lock: Permission denied".
//
// The errno is taken by the caller on the line after the failed call and passed in, so
// nothing can change it on the way. Callable from any thread.
#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>
#include <string_view>

namespace keltrove::device {

class CSystemError : public std::runtime_error {
public:
    CSystemError(std::string_view call, std::string_view object, int error);
    int Error() const { return m_nError; }

private:
    int m_nError;
};

// Runs `call` again while it fails with EINTR; returns its last result.
template <typename Call>
auto RetryOnEintr(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) result = call();
    return result;
}

}  // namespace keltrove::device
