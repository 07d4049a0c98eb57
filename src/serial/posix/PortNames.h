// PortNames: how the names "COM1" to "COM8" that the window offers become Linux devices.
//
// "COMn" is the entry COMn of the port directory when that entry exists, normally a symlink
// that a user made (ln -s /dev/serial/by-id/<adapter> <dir>/COM1) or that the device
// simulator placed; otherwise it is /dev/ttyS<n-1>, the n-th serial port. A directory that
// another user owns, or that group or others may write, is ignored. Any other name is
// a device path already. These read the environment and the file system and never fail.
// Callable from any thread, as long as no thread changes the environment meanwhile.
#pragma once

#include <string>
#include <string_view>

namespace keltrove {

// $KELTROVE_PORT_DIR when set, else $XDG_RUNTIME_DIR/keltrove, else /tmp/keltrove-<uid>.
std::string PortDirectory();

// The device path for `name`, as described above. A dangling symlink in the port directory
// still counts as the entry, so that opening it reports the broken mapping.
std::string ResolvePortName(std::string_view name);

}  // namespace keltrove
