// PortHandle: what CSerialLink holds of an open port on Windows.
//
// The port's handle and its I/O events, closed when the holder goes, and the line settings and
// timeouts the port had before Open, which Close puts back. Owned by the link's thread (the
// window's); the watcher only uses the handle while the link is open. No failures.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace keltrove {

// What the watcher waits on: a COM port's handle, for WaitCommEvent, or the event that a
// network port's socket sets when bytes come or the connection ends (WSAEventSelect).
struct NativePort {
    HANDLE comm = nullptr;
    HANDLE socketEvent = nullptr;
};

struct PortHandle {
    UniqueHandle handle;
    // One event for each direction's overlapped I/O, so that a write on the window's thread
    // and a read on the watcher's never complete each other.
    UniqueHandle readDone;
    UniqueHandle writeDone;

    bool IsValid() const { return handle.IsValid(); }
    HANDLE Get() const { return handle.Get(); }
    NativePort Watched() const { return {handle.Get(), nullptr}; }
};

struct SavedLine {
    DCB settings{};
    COMMTIMEOUTS timeouts{};
    bool saved = false;
};

}  // namespace keltrove
