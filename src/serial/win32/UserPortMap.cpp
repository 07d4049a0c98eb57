#include "UserPortMap.h"

#include <windows.h>

#include <array>
#include <optional>

#include "ComNames.h"
#include "NetworkPortName.h"
#include "PortMap.h"
#include "SystemError.h"

namespace keltrove {

namespace {

// The entry that `com` names in the user's map; the error set when `com` is no port name.
MapEdit EditFor(std::string_view com) {
    MapEdit edit;
    edit.entry = UserMapName(com);
    if (ComNumber(com) == 0) edit.error = NotAPortNameText(com);
    return edit;
}

// Anything but a network port: a serial adapter's number is Device Manager's business.
std::string OnlyNetworkPorts(std::string_view com, const std::string& device) {
    return std::string(com) + ": '" + device +
           "' is no network port; on Windows only network ports are mapped, such as "
           "rfc2217://192.168.1.20:4001; change which adapter has which COM number in Device "
           "Manager (the port's Properties, Port Settings, Advanced)";
}

// "; the system's own COM3 (\Device\Serial2) is reached as \\.\COM3 ...", when it has one.
std::string Shadowed(const std::string& com) {
    std::array<wchar_t, 512> target{};
    const DWORD found =
        ::QueryDosDeviceW(Widen(com).c_str(), target.data(), static_cast<DWORD>(target.size()));
    if (found == 0) return {};
    return "; the system's own " + com + " (" + Narrow(target.data()) + ") is reached as " +
           std::string(kDeviceNamespace) + com + " while the entry stays";
}

}  // namespace

MapEdit AddToUserMap(std::string_view com, const std::string& device, const std::string&) {
    MapEdit edit = EditFor(com);
    if (!edit.error.empty()) return edit;
    const std::string name(com);
    std::string wrongNetworkName;
    const std::optional<NetworkPort> network = ParseNetworkPortName(device, &wrongNetworkName);
    if (!network) {
        edit.error = wrongNetworkName.empty() ? OnlyNetworkPorts(com, device) : wrongNetworkName;
        return edit;
    }
    HKEY created = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kUserMapKey, 0, nullptr, 0, KEY_SET_VALUE,
                                       nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS) {
        edit.error = DescribeRegistryError(UserMapName(), status, "cannot make your map");
        return edit;
    }
    const UniqueKey map(created);
    edit.target = network->Name();
    const std::wstring text = Widen(edit.target);
    status = ::RegSetValueExW(map.get(), Widen(name).c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        edit.error = DescribeRegistryError(edit.entry, status);
        return edit;
    }
    edit.note = NotTriedNowText(edit.target, name) + Shadowed(name);
    return edit;
}

MapEdit RemoveFromUserMap(std::string_view com) {
    MapEdit edit = EditFor(com);
    if (!edit.error.empty()) return edit;
    const std::string name(com);
    const std::string nothing = name + " was not in your map; nothing to do";
    HKEY opened = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserMapKey, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
        const UniqueKey map(opened);
        // Whatever the value holds: unmap is how a refused one is put right.
        status = ::RegDeleteValueW(map.get(), Widen(name).c_str());
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        edit.note = nothing;
    } else if (status != ERROR_SUCCESS) {
        edit.error = DescribeRegistryError(edit.entry, status);
    }
    return edit;
}

}  // namespace keltrove
