#include "PortNames.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "ComNames.h"

namespace keltrove {

namespace {

// The variable's value; empty when it is unset or empty.
std::string_view Environment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

// Only a directory that no other user can change may say where a port is: the fallback
// name in /tmp is easy to guess, and whoever plants a COMn link there would receive the
// writes and feed the reads.
bool IsTrustedDirectory(const std::string& dir) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    const bool ownerOk = info.st_uid == ::getuid() || info.st_uid == 0;
    return ownerOk && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string PortDirectory() {
    if (const std::string_view dir = Environment("KELTROVE_PORT_DIR"); !dir.empty()) {
        return std::string(dir);
    }
    if (const std::string_view runtime = Environment("XDG_RUNTIME_DIR"); !runtime.empty()) {
        return std::string(runtime) + "/keltrove";
    }
    return "/tmp/keltrove-" + std::to_string(::getuid());
}

std::string ResolvePortName(std::string_view name) {
    const int number = ComNumber(name);
    if (number == 0) return std::string(name);
    const std::string dir = PortDirectory();
    std::string entry = dir + "/" + std::string(name);
    struct stat info {};
    if (::lstat(entry.c_str(), &info) == 0 && IsTrustedDirectory(dir)) return entry;
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace keltrove
