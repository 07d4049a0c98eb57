// OsError: failed system calls of the simulator, as exceptions that name the object and the
// call: "/tmp/ports/.COM1.lock: open: Permission denied".
//
// The errno is taken by the caller on the line after the failed call and passed in, so
// nothing can change it on the way. Callable from any thread.
#pragma once

#include <stdexcept>
#include <string_view>

#include "SystemError.h"  // RetryOnEintr

namespace keltrove::device {

using keltrove::RetryOnEintr;

class CSystemError : public std::runtime_error {
public:
    CSystemError(std::string_view call, std::string_view object, int error)
        : std::runtime_error(DescribeSystemError(object.empty() ? call : object, error,
                                                 object.empty() ? std::string_view{} : call)),
          m_nError(error) {}
    int Error() const { return m_nError; }

private:
    int m_nError;
};

}  // namespace keltrove::device
