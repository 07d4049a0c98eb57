// ComNames: the port names the program offers, "COM1" to "COM8", and which names a port
// may be given by.
//
// What a name stands for is the platform's business (the COM map on Linux, the system's
// own devices on Windows). Pure, callable from any thread.
#pragma once

#include <string>
#include <string_view>

#include "NetworkPortName.h"

namespace keltrove {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 8;  // the port list's last item
// The last COMn a port may be given by: on Windows the system's own names, which USB
// adapters often take from COM10 up; on Linux the names of the COM map.
#ifdef _WIN32
inline constexpr int kLastNamedComPort = 256;
#else
inline constexpr int kLastNamedComPort = kLastComPort;
#endif

// "COM3" for 3.
inline std::string ComPortName(int number) {
    return "COM" + std::to_string(number);
}

// The n of "COMn", any number without leading zeros up to 999, whatever the letters' case;
// 0 for a name of any other form. The one place that reads a COM name.
inline int AnyComNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i]) return 0;
    }
    if (name[3] == '0') return 0;
    int number = 0;
    for (const char digit : name.substr(3)) {
        if (digit < '0' || digit > '9') return 0;
        number = number * 10 + (digit - '0');
    }
    return number;
}

// The n of "COMn" for n = 1 to `last`, spelt in capitals as the port list shows it; 0 for
// any other name.
inline int ComNumber(std::string_view name, int last = kLastComPort) {
    const int number = AnyComNumber(name);
    return number >= kFirstComPort && number <= last && name.starts_with("COM") ? number : 0;
}

// The system's device namespace on Windows, in which "\\.\COM12" names COM12.
inline constexpr std::string_view kDeviceNamespace = "\\\\.\\";

// The n of "COMn" or "\\.\COMn", any number up to 999, whatever the letters' case; 0 for a
// name of any other form.
inline int PortComNumber(std::string_view name) {
    if (name.starts_with(kDeviceNamespace)) name.remove_prefix(kDeviceNamespace.size());
    return AnyComNumber(name);
}

// Why `name` cannot be a port's name; empty when it may be. A network port's name
// (rfc2217://HOST:PORT, tcp://HOST:PORT) may be one everywhere. On Windows only COM1 to
// COM256 are ports besides, also as \\.\COMn: CON, NUL, AUX, PRN, LPT1, drives and files
// are not, though the system would open them. On Linux a COMn outside COM1 to COM8 is
// refused, and any other name is taken as a device path, which the port map judges when it
// is opened.
inline std::string PortNameProblem(std::string_view name) {
    if (LooksLikeNetworkName(name)) {
        std::string problem;
        return ParseNetworkPortName(name, &problem) ? std::string() : problem;
    }
    const int number = PortComNumber(name);
#ifdef _WIN32
    if (number >= kFirstComPort && number <= kLastNamedComPort) return {};
    return std::string(name) + " is not a serial port: port names are COM1 to COM" +
           std::to_string(kLastNamedComPort) +
           " (or \\\\.\\COMn), and network ports rfc2217://HOST:PORT and tcp://HOST:PORT";
#else
    const bool comLike = name.size() <= 6 && (name.starts_with("COM") || name.starts_with("com"));
    if (!comLike || (number >= kFirstComPort && number <= kLastNamedComPort)) return {};
    return std::string(name) + ": the port names are COM1 to COM" +
           std::to_string(kLastNamedComPort) + " (or give a device path)";
#endif
}

// "COM1 (/dev/ttyUSB0)": a port as messages name it, with the device it stands for; the
// port alone when the device is not known or is the port itself, as "\\.\COM1" is COM1.
inline std::string PortAndDevice(const std::string& port, const std::string& device) {
    const bool itself = device.empty() || device == port ||
                        (device.starts_with(kDeviceNamespace) &&
                         device.substr(kDeviceNamespace.size()) == port);
    return itself ? port : port + " (" + device + ")";
}

}  // namespace keltrove
