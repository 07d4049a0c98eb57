#include "UserPortMap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "ComNames.h"
#include "NetworkPortName.h"
#include "PortMap.h"
#include "SystemError.h"
#include "UniqueFd.h"

namespace keltrove {

namespace {

std::string RealPath(const std::string& path) {
    std::array<char, PATH_MAX> real{};
    return ::realpath(path.c_str(), real.data()) != nullptr ? std::string(real.data()) : "";
}

// The /dev/serial/by-id name that leads to the same device, or `device` itself.
std::string StableName(const std::string& device, const std::string& byIdDir) {
    const std::string real = RealPath(device);
    std::error_code error;
    if (real.empty() || device.starts_with(byIdDir + "/")) return device;
    for (const auto& link : std::filesystem::directory_iterator(byIdDir, error)) {
        if (RealPath(link.path().string()) == real) return link.path().string();
    }
    return device;
}

// Makes the map and every folder above it that is missing, mode 0700; then opens and
// checks it. Invalid with `error` set when it cannot be used.
UniqueFd OpenUserMap(const std::string& dir, std::string& error) {
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    if (made) {
        error = dir + ": cannot make the port map: " + made.message();
        return {};
    }
    UniqueFd map(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!map.IsValid()) {
        error = DescribeSystemError(dir, errno);
        return {};
    }
    // create_directories uses the umask; the map itself must be private.
    struct stat info {};
    if (::fstat(map.Get(), &info) == 0 && info.st_uid == ::geteuid()) {
        ::fchmod(map.Get(), info.st_mode & 0700);
    }
    if (std::string distrust = DirectoryDistrust(map.Get(), dir); !distrust.empty()) {
        error = "the port map " + dir + " " + distrust + ", so Keltrove would ignore it";
        return {};
    }
    return map;
}

// False, with `error` set, when `name` exists in the map and is not a link.
bool MayReplace(int map, const std::string& entry, const std::string& name, std::string& error) {
    struct stat info {};
    if (::fstatat(map, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode)) {
        return true;
    }
    error = entry +
            " exists and is not a link; it was left alone. Remove it yourself if it "
            "is not needed";
    return false;
}

// The entry that `com` names in the user's map; the error set when `com` is no port name.
MapEdit EditFor(std::string_view com) {
    const std::string name(com);
    MapEdit edit;
    edit.entry = UserMapDirectory() + "/" + name;
    if (ComNumber(com) == 0) edit.error = NotAPortNameText(com);
    return edit;
}

}  // namespace

MapEdit AddToUserMap(std::string_view com, const std::string& device, const std::string& byIdDir) {
    MapEdit edit = EditFor(com);
    const std::string name(com);
    const std::string dir = UserMapDirectory();
    if (!edit.error.empty()) return edit;
    std::string wrongNetworkName;
    const std::optional<NetworkPort> network = ParseNetworkPortName(device, &wrongNetworkName);
    if (!wrongNetworkName.empty()) {
        edit.error = wrongNetworkName;
        return edit;
    }
    if (!network && !device.starts_with('/')) {
        edit.error = "'" + device +
                     "' is not a device path: give one such as /dev/ttyUSB0, or a network "
                     "port such as rfc2217://192.168.1.20:4001";
        return edit;
    }
    if (std::string why = network ? "" : NotASerialPort(device); !why.empty()) {
        edit.error = why + "; give a serial device, such as /dev/ttyUSB0";
        return edit;
    }
    const UniqueFd map = OpenUserMap(dir, edit.error);
    if (!map.IsValid() || !MayReplace(map.Get(), edit.entry, name, edit.error)) return edit;
    // A network port is kept as the link's text, which PortMap reads back as its name.
    edit.target = network ? network->Name() : StableName(device, byIdDir);
    if (network) {
        edit.note = NotTriedNowText(network->Name(), name);
    } else if (edit.target != device) {
        edit.note = "mapped through " + edit.target +
                    ", which stays the same whichever USB "
                    "socket the adapter is in";
    } else if (RealPath(device).empty()) {
        edit.note = device + " does not exist now; the map is kept for when it does";
    }
    const std::string temporary = "." + name + ".new";
    ::unlinkat(map.Get(), temporary.c_str(), 0);
    if (::symlinkat(edit.target.c_str(), map.Get(), temporary.c_str()) != 0 ||
        ::renameat(map.Get(), temporary.c_str(), map.Get(), name.c_str()) != 0) {
        edit.error = DescribeSystemError(edit.entry, errno);
        ::unlinkat(map.Get(), temporary.c_str(), 0);
    }
    return edit;
}

MapEdit RemoveFromUserMap(std::string_view com) {
    MapEdit edit = EditFor(com);
    const std::string name(com);
    const std::string dir = UserMapDirectory();
    if (!edit.error.empty()) return edit;
    UniqueFd map(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!map.IsValid() || !MayReplace(map.Get(), edit.entry, name, edit.error)) {
        if (edit.error.empty()) edit.note = name + " was not in your map; nothing to do";
        return edit;
    }
    if (::unlinkat(map.Get(), name.c_str(), 0) != 0) {
        if (errno == ENOENT) {
            edit.note = name + " was not in your map; nothing to do";
        } else {
            edit.error = DescribeSystemError(edit.entry, errno);
        }
    }
    return edit;
}

}  // namespace keltrove
