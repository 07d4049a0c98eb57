#include "SerialDevices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace keltrove {

namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "0403:6001 FTDI FT232R USB UART, serial A1B2C3", from the USB device above `sysDevice`,
// and the serial number alone in `serial`.
std::string UsbDetails(const fs::path& sysDevice, std::string& serial) {
    std::error_code error;
    for (fs::path dir = fs::canonical(sysDevice, error); !error && dir.has_relative_path();
         dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", error)) continue;
        std::string text = FirstLine(dir / "idVendor") + ":" + FirstLine(dir / "idProduct");
        for (const char* name : {"manufacturer", "product"}) {
            if (const std::string value = FirstLine(dir / name); !value.empty())
                text += " " + value;
        }
        serial = FirstLine(dir / "serial");
        if (!serial.empty()) text += ", serial " + serial;
        return text;
    }
    return {};
}

// A driver's name alone tells a user little ("port" is the kernel's serial core), so say
// what kind of device it is.
std::string KindOf(const std::string& name, const std::string& driver) {
    if (name.starts_with("ttyS")) {
        const bool core = driver.empty() || driver == "port" || driver == "serial8250";
        return "built-in serial port (" + (core ? std::string("8250") : driver) + " driver)";
    }
    const std::string what =
        name.starts_with("ttyACM") ? "USB modem-class serial device" : "USB serial adapter";
    return driver.empty() ? what : what + " (" + driver + " driver)";
}

bool IsListed(const std::string& name) {
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM") || name.starts_with("ttyS");
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices() {
    std::map<std::string, SerialDevice> devices;  // by path, so the list is in order
    std::error_code error;
    for (const auto& tty : fs::directory_iterator("/sys/class/tty", error)) {
        const std::string name = tty.path().filename().string();
        if (!IsListed(name)) continue;
        // The kernel makes ttyS nodes for ports that may not exist; type 0 means no UART.
        if (name.starts_with("ttyS") && FirstLine(tty.path() / "type") == "0") continue;
        SerialDevice device;
        device.path = "/dev/" + name;
        device.driver = fs::read_symlink(tty.path() / "device/driver", error).filename().string();
        device.usb = UsbDetails(tty.path() / "device", device.serial);
        device.kind = KindOf(name, device.driver);
        devices.emplace(device.path, device);
    }
    for (const auto& link : fs::directory_iterator(kSerialByIdDir, error)) {
        const std::string real = fs::canonical(link.path(), error).string();
        if (error) continue;
        if (auto found = devices.find(real); found != devices.end()) {
            found->second.stable = link.path().string();
        } else {
            devices.emplace(real, SerialDevice{real, link.path().string(), {}, {}, {}, {}});
        }
    }
    std::vector<SerialDevice> list;
    for (auto& [path, device] : devices) list.push_back(std::move(device));
    return list;
}

}  // namespace keltrove
