// PortHandle: what CSerialLink holds of an open port on Windows.
//
// The port's handle and its I/O events, closed when the holder goes, and the line settings and timeouts the
// port had before Open, which Close puts back. Owned by the link's thread (the window's);
// the watcher only uses the handle while the link is open. No failures.
#pragma once

#include <windows.h>

#include <utility>

namespace keltrove {

// One kernel handle, closed once. INVALID_HANDLE_VALUE when empty, as CreateFile returns.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_Handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_Handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    bool IsValid() const { return m_Handle != INVALID_HANDLE_VALUE && m_Handle != nullptr; }
    HANDLE Get() const { return m_Handle; }
    HANDLE Release() { return std::exchange(m_Handle, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (IsValid()) ::CloseHandle(m_Handle);
        m_Handle = handle;
    }

private:
    HANDLE m_Handle = INVALID_HANDLE_VALUE;
};

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
