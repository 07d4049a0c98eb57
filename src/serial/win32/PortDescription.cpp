#include "PortDescription.h"

#include <windows.h>

#include <array>

#include "PortMap.h"
#include "SystemError.h"

namespace keltrove {

namespace {

// The user's map, which `keltrove-cli map` writes; its entry comes before the system's port.
PortDescription FromUserMap(const std::string& port, const MapEntry& mapped) {
    PortDescription description;
    description.place = kUserMapPlace;
    if (mapped.network) {
        // A network port is tried only when it is opened.
        description.device = mapped.network->Name();
        description.chain = port + " → " + description.device + " (" + description.place + ")";
    } else {
        description.chain = port + " (" + description.place + ")";
        description.problem = mapped.problem;
    }
    return description;
}

}  // namespace

PortDescription DescribePort(std::string_view name) {
    const std::string port(name);
    if (const std::optional<MapEntry> mapped = UserMapEntryOf(name)) {
        return FromUserMap(port, *mapped);
    }
    PortDescription description;
    description.place = "the system's own ports";
    // The kernel device behind the name, "\Device\Serial0", when the system has the port.
    std::array<char, 512> target{};
    if (::QueryDosDeviceA(port.c_str(), target.data(), static_cast<DWORD>(target.size())) != 0) {
        description.device = target.data();
        description.chain = port + " → " + description.device + " (" + description.place + ")";
    } else {
        description.chain = port + " (" + description.place + ")";
        description.problem = DescribeSystemError(port, ::GetLastError());
    }
    return description;
}

std::optional<NetworkPort> NetworkPortOf(std::string_view name) {
    if (auto direct = ParseNetworkPortName(name)) return direct;
    const std::optional<MapEntry> mapped = UserMapEntryOf(name);
    return mapped ? mapped->network : std::nullopt;
}

}  // namespace keltrove
