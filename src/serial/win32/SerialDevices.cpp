#include "SerialDevices.h"

#include <windows.h>

#include <algorithm>
#include <array>

namespace keltrove {

// The system lists its serial ports under HARDWARE\DEVICEMAP\SERIALCOMM: each value's
// name is the kernel device, its data the COM name.
std::vector<SerialDevice> ListSerialDevices() {
    std::vector<SerialDevice> devices;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return devices;
    }
    for (DWORD index = 0;; ++index) {
        std::array<char, 256> kernel{};
        std::array<char, 64> com{};
        DWORD kernelLength = kernel.size();
        DWORD comLength = com.size() - 1;
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(key, index, kernel.data(), &kernelLength, nullptr,
                                            &type, reinterpret_cast<BYTE*>(com.data()), &comLength);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::string device = kernel.data();
        devices.push_back(
            {com.data(),
             {},
             device,
             {},
             device.starts_with("\\Device\\Serial") ? "built-in serial port" : "serial adapter",
             {}});
    }
    ::RegCloseKey(key);
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}

}  // namespace keltrove
