// SerialDevices: the serial devices this machine has now, so that a user can see which
// adapter is which.
//
// On Linux: every /dev/serial/by-id name, with the driver and the USB vendor, product and
// serial number from sysfs, and the ttyUSB, ttyACM and ttyS devices (a ttyS only when a
// UART stands behind it). On Windows: the COM ports the system knows. Callable from any
// thread; a device whose details cannot be read is listed without them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keltrove {

// Where Linux's udev names each USB serial adapter by what it is, whichever socket it is in.
inline constexpr std::string_view kSerialByIdDir = "/dev/serial/by-id";

struct SerialDevice {
    std::string path;    // /dev/ttyUSB0, COM5
    std::string stable;  // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
    std::string driver;  // ftdi_sio
    std::string usb;     // "0403:6001 FTDI FT232R USB UART, serial A1B2C3"
    std::string kind;    // what it is, in words: "built-in serial port (8250 driver)"
    std::string serial;  // the USB serial number alone: "A1B2C3"
};

std::vector<SerialDevice> ListSerialDevices();

}  // namespace keltrove
