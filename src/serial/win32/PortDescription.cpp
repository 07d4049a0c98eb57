#include "PortDescription.h"

#include <windows.h>

#include <array>

#include "SystemError.h"

namespace keltrove {

PortDescription DescribePort(std::string_view name) {
    const std::string port(name);
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
    return ParseNetworkPortName(name);
}

}  // namespace keltrove
