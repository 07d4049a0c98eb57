#include "Targets.h"

#include <algorithm>

#include "ComNames.h"
#include "FileIo.h"
#include "PortDescription.h"

namespace keltrove::cli {

namespace {

// "COM1", or a device path as a file name: /dev/ttyUSB0 becomes ttyUSB0, and a network
// port rfc2217://10.0.0.5:4001 becomes rfc2217_10.0.0.5_4001.
std::string PortForFileName(const std::string& port) {
    if (const auto network = ParseNetworkPortName(port)) return network->FileName();
    std::string name = port.starts_with("/dev/") ? port.substr(5) : port;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return name;
}

// What `port` stands for, so that two names of it are seen as one: for a network port its
// host and TCP port, whatever the protocol; on Windows its COM number (COM1 and \\.\COM1
// are one port); elsewhere the device behind it, every link followed, as the port map finds
// it, or the name itself when there is none.
std::string DeviceOf(const std::string& port) {
    if (const auto network = NetworkPortOf(port)) return network->Endpoint();
#ifdef _WIN32
    return ComPortName(PortComNumber(port));
#else
    std::string device = DescribePort(port).device;
    return device.empty() ? port : device;
#endif
}

}  // namespace

std::string OutputFor(const std::string& pattern, const std::string& port) {
    std::string path = pattern;
    for (std::size_t at; (at = path.find("{port}")) != std::string::npos;) {
        path.replace(at, 6, PortForFileName(port));
    }
    return path;
}

std::string OneDeviceTwice(const std::vector<std::string>& ports) {
    std::vector<std::string> devices;
    for (const std::string& port : ports) {
        const std::string device = DeviceOf(port);
        const auto earlier = std::find(devices.begin(), devices.end(), device);
        if (earlier != devices.end()) {
            const std::string& first = ports[static_cast<std::size_t>(earlier - devices.begin())];
            return "-p " + first + " and -p " + port + " name one device (" + device +
                   "); give it once";
        }
        devices.push_back(device);
    }
    return {};
}

std::string FilesThatClash(const char* option, const std::string& pattern,
                           const std::vector<std::string>& ports, const std::string& table) {
    const std::string given = std::string(option) + " " + pattern;
    std::vector<std::string> paths;
    for (const std::string& port : ports) {
        const std::string path = OutputFor(pattern, port);
        if (!table.empty() && SameFile(path, table)) {
            return std::string(option) + " " + path +
                   (path == table ? " is the table file being written"
                                  : " is the same file as " + table +
                                        ", the table file being "
                                        "written") +
                   ": saving what the panel holds there would replace the table; give the "
                   "backup another name";
        }
        // Found now, not once the panel has been read for nothing.
        if (std::string wrong = ReplaceProblem(path); !wrong.empty()) {
            return std::string(option) + " " + wrong;
        }
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (!SameFile(paths[i], path)) continue;
            return given + " gives -p " + ports[i] + " and -p " + port + " one file (" + paths[i] +
                   (paths[i] == path ? "" : ", also named " + path) +
                   "), so one table would replace the other; give each port a file of its "
                   "own, or serve them in separate runs";
        }
        paths.push_back(path);
    }
    return {};
}

}  // namespace keltrove::cli
