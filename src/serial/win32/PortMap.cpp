#include "PortMap.h"

#include <array>

#include "ComNames.h"
#include "ErrorText.h"
#include "SystemError.h"
#include "TableFile.h"

namespace keltrove {

namespace {

// The longest value read, in characters: far more than any network port's name takes.
constexpr DWORD kLongestValue = 512;

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_QWORD:
            return "REG_QWORD";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_NONE:
            return "REG_NONE";
        default:
            return "registry type " + std::to_string(type);
    }
}

// The end of a refused entry's problem: what it means and how to put it right.
std::string Ignored(const std::string& com) {
    return ", so it was ignored and " + com + " does not open: remove it with keltrove-cli unmap " +
           com + ", or replace it with keltrove-cli map " + com + " rfc2217://HOST:PORT";
}

// `com`'s value in the open map; nothing when there is none.
std::optional<MapEntry> ReadEntry(HKEY map, const std::string& com) {
    MapEntry mapped{UserMapName(com), {}, {}};
    std::array<wchar_t, kLongestValue + 1> text{};
    DWORD type = REG_NONE;
    DWORD bytes = kLongestValue * sizeof(wchar_t);
    const LSTATUS status = ::RegQueryValueExW(map, Widen(com).c_str(), nullptr, &type,
                                              reinterpret_cast<BYTE*>(text.data()), &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        mapped.problem =
            DescribeRegistryError(mapped.entry, status, "cannot be read") + Ignored(com);
    } else if (type != REG_SZ) {
        mapped.problem =
            mapped.entry + " is a " + TypeName(type) + " value, not text (REG_SZ)" + Ignored(com);
    } else if (status == ERROR_MORE_DATA) {
        mapped.problem = mapped.entry + " holds more than " + std::to_string(kLongestValue) +
                         " characters, far too many for a network port's name" + Ignored(com);
    } else {
        std::wstring_view value(text.data(), bytes / sizeof(wchar_t));
        while (value.ends_with(L'\0')) value.remove_suffix(1);
        const std::string name = Narrow(value);
        mapped.network = ParseNetworkPortName(name);
        if (!mapped.network) {
            mapped.problem = mapped.entry + " holds \"" + EscapeForMessage(name) +
                             "\", which is no network port's name (rfc2217://HOST:PORT or "
                             "tcp://HOST:PORT)" +
                             Ignored(com);
        }
    }
    return mapped;
}

}  // namespace

std::optional<MapEntry> UserMapEntryOf(std::string_view name) {
    const int number = AnyComNumber(name);
    if (number < kFirstComPort || number > kLastComPort) return std::nullopt;
    const std::string com = ComPortName(number);
    HKEY opened = nullptr;
    const LSTATUS status =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserMapKey, 0, KEY_QUERY_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) {
        return MapEntry{UserMapName(com),
                        {},
                        DescribeRegistryError(UserMapName(), status, "cannot read your map") +
                            "; " + com + " does not open until it can be read"};
    }
    const UniqueKey map(opened);
    return ReadEntry(map.get(), com);
}

std::string UserMapName(std::string_view com) {
    std::string name = "HKEY_CURRENT_USER\\" + Narrow(kUserMapKey);
    if (!com.empty()) name += "\\" + std::string(com);
    return name;
}

std::string DescribeRegistryError(std::string_view object, LSTATUS status, std::string_view what) {
    // SystemMessage's plain words speak of ports, and would blame another program here.
    const auto error = static_cast<DWORD>(status);
    return ErrorText(object, what,
                     error == ERROR_ACCESS_DENIED ? "Access is denied" : SystemMessage(error));
}

}  // namespace keltrove
