// UserPortMap: `keltrove-cli map` and `unmap`: the user's own, lasting COM map.
//
// The map is UserMapDirectory() (PortMap.h), made with mode 0700 when it is missing and
// judged by the same trust rule as when it is read. An entry is a symbolic link, replaced
// in one step; a device with a /dev/serial/by-id name is mapped through that name, which
// stays the same whichever USB socket the adapter is in, while /dev/ttyUSB0 may not. A
// network port (rfc2217://HOST:PORT, tcp://HOST:PORT) is mapped as a link whose text is its
// name; nothing connects to it until the port is opened. An entry that is not a link
// (something the user put there) is never replaced.
//
// On Windows the map is a registry key (win32/PortMap.h) and holds network ports only: an
// entry is one REG_SZ value, written in one step, and `unmap` removes the value whatever
// it holds. `byIdDir` is not used there.
//
// Callable from any thread; failures are returned, never thrown.
#pragma once

#include <string>
#include <string_view>

#include "SerialDevices.h"

namespace keltrove {

struct MapEdit {
    std::string entry;   // <map>/COMn; on Windows HKEY_CURRENT_USER\Software\Keltrove\Ports\COMn
    std::string target;  // what it now points at (map)
    std::string error;   // why nothing was changed; empty on success
    std::string note;    // something worth saying on success
};

// What both platforms' maps say: a name that is no COM name, and the note on a network
// port, which is mapped without connecting to it.
inline std::string NotAPortNameText(std::string_view com) {
    return "'" + std::string(com) + "' is not a port name: use COM1 to COM8";
}
inline std::string NotTriedNowText(const std::string& network, std::string_view com) {
    return network + " is not tried now: " + std::string(com) + " connects to it when it is opened";
}

MapEdit AddToUserMap(std::string_view com, const std::string& device,
                     const std::string& byIdDir = std::string(kSerialByIdDir));
MapEdit RemoveFromUserMap(std::string_view com);

}  // namespace keltrove
