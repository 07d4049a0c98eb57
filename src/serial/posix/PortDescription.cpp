#include "PortDescription.h"

#include "PortMap.h"

namespace keltrove {

PortDescription DescribePort(std::string_view name) {
    const PortMapping mapping = MapPort(name);
    std::string problem = mapping.problem;
    // A network port is tried only when it is opened.
    if (problem.empty() && !mapping.device.empty() && !ParseNetworkPortName(mapping.device)) {
        problem = NotASerialPort(mapping.device);
    }
    return {DescribeMapping(mapping), std::string(PlaceName(mapping.place)), mapping.device,
            std::move(problem)};
}

std::optional<NetworkPort> NetworkPortOf(std::string_view name) {
    if (auto direct = ParseNetworkPortName(name)) return direct;
    const PortMapping mapping = MapPort(name);
    return mapping.problem.empty() ? ParseNetworkPortName(mapping.device) : std::nullopt;
}

}  // namespace keltrove
