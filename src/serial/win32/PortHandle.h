// PortHandle: what CSerialLink holds of an open port on Windows.
//
// The port's handle and its I/O events, closed when the holder goes, and the line settings and
// timeouts the port had before Open, which Close puts back. Owned by the link's thread (the
// window's); the watcher only uses the handle while the link is open. No failures.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace keltrove {

// What the watcher waits on.
using NativePort = HANDLE;

struct PortHandle {
    UniqueHandle handle;
    // One event for each direction's overlapped I/O, so that a write on the window's thread
    // and a read on the watcher's never complete each other.
    UniqueHandle readDone;
    UniqueHandle writeDone;

    bool IsValid() const { return handle.IsValid(); }
    HANDLE Get() const { return handle.Get(); }
};

struct SavedLine {
    DCB settings{};
    COMMTIMEOUTS timeouts{};
    bool saved = false;
};

}  // namespace keltrove
