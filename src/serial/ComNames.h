// ComNames: the port names the program offers, "COM1" to "COM8".
//
// What a name stands for is the platform's business (the COM map on Linux, the system's
// own devices on Windows). Pure, callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace keltrove {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 8;

// "COM3" for 3.
inline std::string ComPortName(int number) {
    return "COM" + std::to_string(number);
}

// The n of "COMn" for n = 1 to 8; 0 for any other name.
inline int ComNumber(std::string_view name) {
    if (name.size() != 4 || !name.starts_with("COM")) return 0;
    const char digit = name[3];
    return digit >= '0' + kFirstComPort && digit <= '0' + kLastComPort ? digit - '0' : 0;
}

}  // namespace keltrove
