// PortMap: which device each of "COM1" to "COM8" stands for on Linux.
//
// The places, first match wins:
//   1. $KELTROVE_PORT_DIR, which the demo, the tests and the simulator use; while it is set
//      it is the only place, so that their ports never become the machine's;
//   2. the user's own map, $XDG_CONFIG_HOME/keltrove/ports (~/.config/keltrove/ports by
//      default), which `keltrove-cli map` writes and which lasts across logins;
//   3. the system's map, /etc/keltrove/ports, which an administrator fills, or a udev rule;
//   4. /dev/ttyS<n-1>, the n-th built-in serial port, when a real UART stands behind it.
// A map is a directory of entries named COMn, normally symbolic links to devices (best to
// their /dev/serial/by-id names, which stay the same whichever USB socket is used). A link
// whose text is a network port's name (rfc2217://HOST:PORT, tcp://HOST:PORT) maps COMn to
// that port; its device is then that name, and no file stands behind it.
//
// Only a directory that belongs to the user (or to root) and that neither its group nor
// others may write to may say where a port is: whoever can plant a COMn link there would
// receive the program's writes and feed its reads. The check is made on the descriptor
// through which the entry is then opened, so the directory cannot be swapped in between.
// A directory that exists but is refused maps nothing: the port then fails to open with
// the reason, rather than quietly becoming a real serial port the user never chose. So does
// a $KELTROVE_PORT_DIR that does not exist or is no directory (a mistyped test directory),
// and an entry that a simulator left behind when it ended.
//
// Reads the environment and the file system; callable from any thread as long as no thread
// changes the environment meanwhile. Never throws: what goes wrong is in `problem`.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "UniqueFd.h"

namespace keltrove {

enum class PortPlace { Environment, User, System, BuiltIn, DevicePath };

// Where to look, in order; tests make their own.
struct PortPlaces {
    std::vector<std::pair<PortPlace, std::string>> maps;
    std::string devDir = "/dev";
    std::string sysClassTty = "/sys/class/tty";

    static PortPlaces Standard();
};

struct PortMapping {
    std::string name;  // as asked: "COM1", or a device path
    PortPlace place = PortPlace::DevicePath;
    std::string directory;  // the map it came from, if any
    std::string entry;      // "<map>/COM1", "/dev/ttyS0" or the path given
    std::string target;     // what the entry's link says, when it is one
    std::string device;     // the device itself, every link followed; empty when none
    std::string problem;    // why it cannot be opened; empty when it can
    UniqueFd map;           // the checked directory, held until the port is opened

    // The path to open: through the checked directory's descriptor.
    std::string OpenPath() const;
};

PortMapping MapPort(std::string_view name, const PortPlaces& places = PortPlaces::Standard());

// "$KELTROVE_PORT_DIR", "your map", "the system's map", "the built-in ports", "a path".
std::string_view PlaceName(PortPlace place);

// "COM1 → /dev/serial/by-id/usb-FTDI... → /dev/ttyUSB0 (your map)": the chain of names.
std::string DescribeMapping(const PortMapping& mapping);

// Why the directory open at `dirFd` may not say where a port is ("belongs to another
// user", "may be changed by its group (chmod go-w PATH)"); empty when it may. `rootOnly`:
// it must belong to root, as the system's map must.
std::string DirectoryDistrust(int dirFd, std::string_view path, bool rootOnly = false);

// Why `device` (every link followed) is no serial port, naming it as `shown` (the device
// itself when empty): "/dev/null is not a serial port: it is a device of the mem driver";
// empty for a terminal device, and for a path that does not exist, which is said elsewhere.
std::string NotASerialPort(const std::string& device, const std::string& shown = {});

// The user's own map: $XDG_CONFIG_HOME/keltrove/ports, else ~/.config/keltrove/ports.
std::string UserMapDirectory();

}  // namespace keltrove
