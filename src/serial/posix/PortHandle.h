// PortHandle: what CSerialLink holds of an open port on POSIX.
//
// The descriptor, and the line settings the port had before Open, which Close puts back.
// Owned by the link's thread (the window's); the watcher only reads the descriptor while
// the link is open. Plain data, no failures.
#pragma once

#include <termios.h>

#include "UniqueFd.h"

namespace keltrove {

using PortHandle = UniqueFd;

struct SavedLine {
    termios settings{};
    bool saved = false;
};

}  // namespace keltrove
