#include "PortDescription.h"

#include "PortMap.h"

namespace keltrove {

PortDescription DescribePort(std::string_view name) {
    const PortMapping mapping = MapPort(name);
    std::string problem = mapping.problem;
    if (problem.empty() && !mapping.device.empty()) problem = NotASerialPort(mapping.device);
    return {DescribeMapping(mapping), std::string(PlaceName(mapping.place)), mapping.device,
            std::move(problem)};
}

}  // namespace keltrove
