// PortHandle: what CSerialLink holds of an open port on POSIX.
//
// The descriptor, the UUCP lock file taken for the device, and the line settings the port
// had before Open, which Close puts back. Owned by the link's thread (the window's); the
// watcher only reads the descriptor while the link is open. No failures.
#pragma once

#include <termios.h>

#include <string>

#include "UniqueFd.h"
#include "UucpLock.h"

namespace keltrove {

// What the watcher waits on.
using NativePort = int;

// Why a port's poll flags mean its device is gone ("/dev/ttyUSB0: the device hung up");
// empty while they do not.
std::string HangUpReason(const std::string& device, short revents);

struct PortHandle {
    UniqueFd fd;
    CUucpLock lock;

    bool IsValid() const { return fd.IsValid(); }
    int Get() const { return fd.Get(); }
    NativePort Watched() const { return fd.Get(); }
};

struct SavedLine {
    termios settings{};
    bool saved = false;
};

}  // namespace keltrove
