// UniqueFd: the one owner of a file descriptor, which it closes when it goes away.
//
// Move-only, so a descriptor has exactly one owner and an early return cannot leak it.
// Not synchronised: one thread at a time uses an object. Reset ignores close()'s result:
// Linux releases the descriptor even when close() reports an error, so a retry could close
// a descriptor that another thread has since been given.
#pragma once

#include <unistd.h>

#include <utility>

namespace keltrove {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : m_nFd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_nFd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    // The descriptor, or -1 when none is held.
    int Get() const noexcept { return m_nFd; }
    bool IsValid() const noexcept { return m_nFd >= 0; }

    // Gives up ownership without closing; returns the descriptor.
    int Release() noexcept { return std::exchange(m_nFd, -1); }

    // Closes the held descriptor, if any, and holds `fd` instead.
    void Reset(int fd = -1) noexcept {
        const int old = std::exchange(m_nFd, fd);
        if (old >= 0) ::close(old);
    }

private:
    int m_nFd = -1;
};

}  // namespace keltrove
