// SocketHandle: what CSocket holds of a connection on POSIX: its descriptor, which the
// watcher polls as it polls a port's. Owned by the link's thread; no failures.
#pragma once

#include "UniqueFd.h"

namespace keltrove {

struct SocketHandle {
    UniqueFd fd;

    bool IsValid() const { return fd.IsValid(); }
};

}  // namespace keltrove
