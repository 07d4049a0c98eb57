// PortMap: the user's own map of network ports on Windows.
//
// HKEY_CURRENT_USER\Software\Keltrove\Ports holds one REG_SZ value per COM name, such as
// "COM3" = "rfc2217://192.168.1.20:4001", which `keltrove-cli map` writes. COM1 to COM8 (in
// any case, as the window offers them) then stand for that network port, in place of the
// system's port of that number, which \\.\COM3 still reaches. Only network ports are mapped:
// which adapter has which COM number is Device Manager's business.
//
// HKCU is the user's own hive, yet a value that is not text, or not a network port's name,
// is refused: its COMn then fails to open with the reason, rather than quietly being the
// system's port of that number, which the user never chose. So does a map that cannot be
// read. Reads the registry now, since the map can change while the program runs. Callable
// from any thread; never throws: what goes wrong is in `problem`.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "NetworkPortName.h"

namespace keltrove {

// The map's key, under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kUserMapKey = L"Software\\Keltrove\\Ports";

// One owner for an open registry key.
struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct MapEntry {
    std::string entry;                   // "HKEY_CURRENT_USER\Software\Keltrove\Ports\COM3"
    std::optional<NetworkPort> network;  // the port it stands for; nothing when refused
    std::string problem;                 // why it is refused; empty when it is not
};

// The entry of the map that `name` stands for; nothing when the map has none, and for a name
// other than COM1 to COM8, which are then the system's own.
std::optional<MapEntry> UserMapEntryOf(std::string_view name);

// "HKEY_CURRENT_USER\Software\Keltrove\Ports", and with `com` its entry's name after it.
std::string UserMapName(std::string_view com = {});

// "<object>: <what>: <the system's message>" for a failed registry call.
std::string DescribeRegistryError(std::string_view object, LSTATUS status,
                                  std::string_view what = {});

}  // namespace keltrove
