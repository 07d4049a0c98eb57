// SocketHandle: what CSocket holds of a connection on Windows: the socket, and the event
// that Winsock sets when bytes come or the connection ends (WSAEventSelect), on which the
// watcher waits. CSocket closes both. Owned by the link's thread; no failures.
//
// The socket is kept as its integer, so that this header needs no Winsock header: those must
// come before <windows.h>, which every other file of the link includes first.
#pragma once

#include <cstdint>

#include "UniqueHandle.h"

namespace keltrove {

struct SocketHandle {
    static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};  // INVALID_SOCKET

    std::uintptr_t socket = kNone;
    UniqueHandle readable;

    bool IsValid() const { return socket != kNone; }
};

}  // namespace keltrove
