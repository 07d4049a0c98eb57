#include "PortDescription.h"

#include "PortMap.h"

namespace keltrove {

PortDescription DescribePort(std::string_view name) {
    const PortMapping mapping = MapPort(name);
    return {DescribeMapping(mapping), std::string(PlaceName(mapping.place)), mapping.device,
            mapping.problem};
}

}  // namespace keltrove
