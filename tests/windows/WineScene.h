// WineScene: what the Windows programs' tests under Wine share. scripts/test-windows sets
// the scene: $WINEPREFIX maps COM1 to COM8 to links in $KELTROVE_WINE_PORTS, $KELTROVE_WINE
// runs a Windows program and $KELTROVE_WINDOWS_BUILD holds the cross build. A simulator
// plugged in as COM5 runs its line at a speed no machine port has, and the Windows side
// refuses a port that does not report it, so a test never reaches a real port. One thread.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "SimulatorProcess.h"

namespace keltrove::test {

inline constexpr const char* kPort = "COM5";
inline constexpr const char* kGuardBaud = "57600";

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string("$") + name + " is not set: run scripts/test-windows");
    }
    return value;
}

// How a Windows program names a Linux path: Wine's Z: drive. (A path starting with "/"
// would read as an option there.)
inline std::string WindowsPath(const std::filesystem::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
}

// The environment under which the Windows serial tests open the simulator as COM5.
inline std::vector<std::string> GuardEnv() {
    return {std::string("KELTROVE_TEST_PORT=") + kPort,
            std::string("KELTROVE_TEST_GUARD_BAUD=") + kGuardBaud};
}

// A fresh simulator as COM5 with `options`, its log and the guard's output in `dir`, checked
// from the Windows side before any test program opens it.
inline void PlugGuarded(std::unique_ptr<CSimulatorProcess>& device,
                        std::vector<std::string> options, const std::filesystem::path& dir) {
    options.insert(options.begin(),
                   {"--port-dir", Env("KELTROVE_WINE_PORTS"), "--as", kPort, "--baud", kGuardBaud});
    device = std::make_unique<CSimulatorProcess>(std::move(options), (dir / "device.log").string());
    ASSERT_FALSE(device->WaitPlugged().empty()) << device->Log();
    const std::filesystem::path tests =
        std::filesystem::path(Env("KELTROVE_WINDOWS_BUILD")) / "tests/serial/serial_tests.exe";
    const Outcome guard = RunProgram(
        {Env("KELTROVE_WINE"), tests.string(), "--gtest_filter=SimulatorPort.IsTheSimulator"},
        dir.string(), GuardEnv());
    ASSERT_EQ(guard.code, 0) << guard.out << guard.err;
}

}  // namespace keltrove::test
