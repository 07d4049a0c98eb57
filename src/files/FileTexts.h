// FileTexts: what FileIo says of a file it refuses, on each platform. Pure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "TableFile.h"

namespace keltrove {

// `what` is "a directory", "a FIFO (a named pipe)", ...
inline std::string NotAFileText(const std::string& path, std::string_view what) {
    return path + ": is " + std::string(what) + ", not a file; give the path of a table file";
}

inline std::string TooLargeText(const std::string& path) {
    return path + ": " + TooLargeForATable();
}

}  // namespace keltrove
