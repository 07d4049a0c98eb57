#include "PortMap.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "ComNames.h"
#include "NetworkPortName.h"
#include "PortDescription.h"
#include "SystemError.h"

namespace keltrove {

namespace {

std::string Environment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeDirectory() {
    if (std::string home = Environment("HOME"); !home.empty()) return home;
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/";
}

std::string ReadLinkAt(int dirFd, const char* name) {
    std::array<char, PATH_MAX> text{};
    const ssize_t size = ::readlinkat(dirFd, name, text.data(), text.size() - 1);
    return size > 0 ? std::string(text.data(), static_cast<std::size_t>(size)) : std::string();
}

// " (pid 1234)" of a simulator that left `name` behind and has ended; empty otherwise.
std::string EndedSimulator(int dirFd, const std::string& name) {
    const std::string lock = "." + name + ".lock";
    UniqueFd file(::openat(dirFd, lock.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.IsValid()) return {};
    std::array<char, 32> text{};
    const ssize_t size = ::read(file.Get(), text.data(), text.size() - 1);
    const long pid = size > 0 ? std::strtol(text.data(), nullptr, 10) : 0;
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return {};
    return std::to_string(pid);
}

// The device behind `path`, every link followed; sets `problem` when there is none.
std::string RealDevice(const std::string& path, const std::string& shown, std::string& problem) {
    std::array<char, PATH_MAX> real{};
    if (::realpath(path.c_str(), real.data()) != nullptr) return real.data();
    const int error = errno;
    if (error == ENOENT) {
        problem = shown + " is a broken link: what it points at does not exist";
    } else {
        problem = DescribeSystemError(shown, error);
    }
    return {};
}

// /dev/ttyS<n-1>, when a UART stands behind it.
void MapBuiltIn(int number, const PortPlaces& places, PortMapping& mapping) {
    const std::string tty = "ttyS" + std::to_string(number - 1);
    mapping.place = PortPlace::BuiltIn;
    mapping.entry = places.devDir + "/" + tty;
    const std::string hint = ". To use an adapter as " + mapping.name + ": keltrove-cli map " +
                             mapping.name + " /dev/ttyUSB0 (or its /dev/serial/by-id name)";
    struct stat info {};
    if (::stat(mapping.entry.c_str(), &info) != 0) {
        mapping.problem =
            mapping.name + " is not mapped, and " + mapping.entry + " does not exist" + hint;
        return;
    }
    // The kernel makes ttyS nodes for ports that may not exist; type 0 means no UART.
    std::ifstream type(places.sysClassTty + "/" + tty + "/type");
    int uart = -1;
    if (type >> uart && uart == 0) {
        mapping.problem = mapping.name + " is not mapped, and no serial port stands behind " +
                          mapping.entry + hint;
        return;
    }
    mapping.device = mapping.entry;
}

// Looks for the entry in one map. False when the map does not have it (look further).
bool MapFrom(PortPlace place, const std::string& directory, PortMapping& mapping) {
    UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.IsValid()) {
        const int error = errno;
        // Your map and the system's may well not exist; the directory that the environment
        // names must, or a mistyped test directory would lead to a real serial port.
        const bool named = place == PortPlace::Environment;
        if (error == ENOENT && !named) return false;
        mapping.place = place;
        mapping.directory = directory;
        struct stat info {};
        const bool link = ::lstat(directory.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
        const std::string map =
            "the port map " + directory + " (" + std::string(PlaceName(place)) + ")";
        if (named && (error == ENOENT || error == ENOTDIR) && !link) {
            mapping.problem = map + (error == ENOENT ? " does not exist" : " is not a directory") +
                              ": set KELTROVE_PORT_DIR to a port directory that exists (the "
                              "simulator's), or unset it to use your own map and the system's";
            return true;
        }
        mapping.problem = map + " was ignored: " +
                          (link ? "it is a symbolic link, which could be pointed anywhere"
                                : SystemMessage(error));
        return true;
    }
    if (std::string distrust = DirectoryDistrust(dir.Get(), directory, place == PortPlace::System);
        !distrust.empty()) {
        mapping.place = place;
        mapping.directory = directory;
        mapping.problem = "the port map " + directory + " (" + std::string(PlaceName(place)) +
                          ") " + distrust + ", so it was ignored and maps nothing";
        return true;
    }
    struct stat info {};
    if (::fstatat(dir.Get(), mapping.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    mapping.place = place;
    mapping.directory = directory;
    mapping.entry = directory + "/" + mapping.name;
    if (S_ISLNK(info.st_mode)) mapping.target = ReadLinkAt(dir.Get(), mapping.name.c_str());
    // A link whose text is a network port's name stands for that port: no file behind it.
    if (const auto network = ParseNetworkPortName(mapping.target)) {
        mapping.device = network->Name();
        return true;
    }
    mapping.map = std::move(dir);
    if (const std::string pid = EndedSimulator(mapping.map.Get(), mapping.name); !pid.empty()) {
        mapping.problem = mapping.name + "'s simulator has ended (pid " + pid + "); start " +
                          "keltrove-device again, or remove " + mapping.entry;
        return true;
    }
    mapping.device = RealDevice(mapping.OpenPath(), DescribeMapping(mapping), mapping.problem);
    return true;
}

}  // namespace

PortPlaces PortPlaces::Standard() {
    PortPlaces places;
    if (std::string dir = Environment("KELTROVE_PORT_DIR"); !dir.empty()) {
        places.maps.emplace_back(PortPlace::Environment, std::move(dir));
    }
    places.maps.emplace_back(PortPlace::User, UserMapDirectory());
    places.maps.emplace_back(PortPlace::System, "/etc/keltrove/ports");
    return places;
}

std::string UserMapDirectory() {
    std::string config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = HomeDirectory() + "/.config";
    return config + "/keltrove/ports";
}

std::string PortMapping::OpenPath() const {
    if (!map.IsValid()) return entry;
    return "/proc/self/fd/" + std::to_string(map.Get()) + "/" + name;
}

PortMapping MapPort(std::string_view name, const PortPlaces& places) {
    PortMapping mapping;
    mapping.name = std::string(name);
    const int number = ComNumber(name);
    if (const auto network = ParseNetworkPortName(name)) {
        mapping.entry = mapping.name;
        mapping.device = network->Name();
        return mapping;
    }
    if (number == 0) {
        mapping.entry = mapping.name;
        mapping.device = RealDevice(mapping.entry, mapping.entry, mapping.problem);
        if (mapping.problem.ends_with("does not exist")) {
            mapping.problem = mapping.entry + ": No such file or directory";
        }
        return mapping;
    }
    for (const auto& [place, directory] : places.maps) {
        if (MapFrom(place, directory, mapping)) return mapping;
        // The demo's or a test's own map is the only one: its ports never fall through to
        // the machine's, such as a real UART behind /dev/ttyS0.
        if (place == PortPlace::Environment) {
            mapping.place = place;
            mapping.directory = directory;
            mapping.problem = mapping.name + " is not mapped in " + std::string(PlaceName(place)) +
                              " (" + directory + "), the only map looked at while it is set";
            return mapping;
        }
    }
    MapBuiltIn(number, places, mapping);
    return mapping;
}

std::string_view PlaceName(PortPlace place) {
    switch (place) {
        case PortPlace::Environment:
            return "$KELTROVE_PORT_DIR";
        case PortPlace::User:
            return kUserMapPlace;
        case PortPlace::System:
            return "the system's map";
        case PortPlace::BuiltIn:
            return "the built-in ports";
        case PortPlace::DevicePath:
            return "a path";
    }
    return {};
}

std::string DescribeMapping(const PortMapping& mapping) {
    std::string text = mapping.name;
    // A refused map gives no entry: the chain stops at the name, and the problem says why.
    if (!mapping.entry.empty() && mapping.entry != mapping.name) text += " → " + mapping.entry;
    if (!mapping.target.empty()) text += " → " + mapping.target;
    if (!mapping.device.empty() && mapping.device != mapping.entry &&
        mapping.device != mapping.target) {
        text += " → " + mapping.device;
    }
    if (mapping.place != PortPlace::DevicePath)
        text += " (" + std::string(PlaceName(mapping.place)) + ")";
    return text;
}

namespace {

// The driver's name for a character device's major number, from /proc/devices.
std::string CharacterDriver(unsigned major) {
    std::ifstream devices("/proc/devices");
    bool character = false;
    for (std::string line; std::getline(devices, line);) {
        if (line.starts_with("Character")) character = true;
        if (line.starts_with("Block")) character = false;
        unsigned number = 0;
        char name[64] = {};
        if (character && std::sscanf(line.c_str(), "%u %63s", &number, name) == 2 &&
            number == major) {
            return name;
        }
    }
    return {};
}

}  // namespace

std::string NotASerialPort(const std::string& device, const std::string& shown) {
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) return {};
    const std::string refused = (shown.empty() ? device : shown) + " is not a serial port: it is ";
    if (!S_ISCHR(info.st_mode)) {
        const char* what = S_ISDIR(info.st_mode)   ? "a directory"
                           : S_ISREG(info.st_mode) ? "a plain file"
                           : S_ISBLK(info.st_mode) ? "a block device"
                                                   : "no device";
        return refused + what;
    }
    // Serial devices belong to the kernel's tty class; pseudo-terminals, which have no
    // class of their own, to the pts driver.
    const unsigned major = ::major(info.st_rdev);
    const std::string node = "/sys/dev/char/" + std::to_string(major) + ":" +
                             std::to_string(::minor(info.st_rdev)) + "/subsystem";
    std::array<char, PATH_MAX> subsystem{};
    if (::realpath(node.c_str(), subsystem.data()) != nullptr &&
        std::string_view(subsystem.data()).ends_with("/tty")) {
        return {};
    }
    const std::string driver = CharacterDriver(major);
    if (driver == "pts") return {};
    return refused + "a device of the " + (driver.empty() ? "unknown" : driver) + " driver";
}

std::string DirectoryDistrust(int dirFd, std::string_view path, bool rootOnly) {
    struct stat info {};
    if (::fstat(dirFd, &info) != 0) return DescribeSystemError(path, errno);
    const uid_t user = ::geteuid();
    const bool owner = info.st_uid == 0 || (!rootOnly && info.st_uid == user);
    if (!owner) return rootOnly ? "does not belong to root" : "belongs to another user";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return std::string("may be changed by ") +
               ((info.st_mode & S_IWOTH) != 0 ? "anyone" : "its group") + " (chmod go-w " +
               std::string(path) + ")";
    }
    return {};
}

}  // namespace keltrove
