#include "OsError.h"

#include <system_error>

namespace keltrove::device {

namespace {

std::string Describe(std::string_view call, std::string_view object, int error) {
    std::string text(call);
    if (!object.empty()) {
        text += ' ';
        text += object;
    }
    text += ": ";
    text += std::generic_category().message(error);  // thread-safe, unlike strerror()
    return text;
}

}  // namespace

CSystemError::CSystemError(std::string_view call, std::string_view object, int error)
    : std::runtime_error(Describe(call, object, error)), m_nError(error) {}

}  // namespace keltrove::device
