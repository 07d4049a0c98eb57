// PortDescription: what a port name stands for, in words, for the port list's tooltips and
// `keltrove-cli ports`.
//
// On Linux it follows the COM map (PortMap.h), whose entries may also name network ports,
// and says which place the mapping came from; on Windows the names are the system's own,
// except a COMn that the user's map (win32/PortMap.h) gives a network port.
// Reads the system's state now, since a device can come and go while the program runs.
// Callable from any thread; never fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "NetworkPortName.h"

namespace keltrove {

struct PortDescription {
    std::string chain;    // "COM1 → /dev/serial/by-id/usb-... → /dev/ttyUSB0 (your map)"
    std::string place;    // where the mapping came from: "your map", "the built-in ports"
    std::string device;   // the device itself, every link followed; empty when none
    std::string problem;  // why it cannot be opened now; empty when it can
};

// The place of an entry of the user's own map, which `keltrove-cli map` writes.
inline constexpr std::string_view kUserMapPlace = "your map";

PortDescription DescribePort(std::string_view name);

// The network port that `name` stands for: the name itself (rfc2217://..., tcp://...) or a
// COMn whose map entry holds one. Nothing for a serial port, and for a name that
// cannot be opened (the open then says why).
std::optional<NetworkPort> NetworkPortOf(std::string_view name);

}  // namespace keltrove
