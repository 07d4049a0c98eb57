// UniqueHandle: one owner for a Win32 kernel handle, as UniqueFd is for a descriptor.
//
// Move-only; closes the handle in its destructor, so an early return cannot leak one.
// Owned by one thread at a time. No failures.
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

}  // namespace keltrove
