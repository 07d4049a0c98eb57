#include "UserPortMap.h"

namespace keltrove {

namespace {

MapEdit Refused(std::string_view com) {
    return {{},
            {},
            std::string(com) +
                ": on Windows, COM1 to COM8 are the system's own ports; change which "
                "adapter has which COM number in Device Manager (the port's Properties, "
                "Port Settings, Advanced); give a network port by its name, such as "
                "-p rfc2217://192.168.1.20:4001",
            {}};
}

}  // namespace

MapEdit AddToUserMap(std::string_view com, const std::string&, const std::string&) {
    return Refused(com);
}

MapEdit RemoveFromUserMap(std::string_view com) {
    return Refused(com);
}

}  // namespace keltrove
