// LineSettings: the terminal settings that make a port a raw 8N1 byte line, and the check
// that a port really took them.
//
// Pure functions; they touch no descriptor. Callable from any thread.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

namespace keltrove {

// The termios speed constant for `baud`; none for a rate termios cannot express.
std::optional<speed_t> SpeedFromBaud(std::uint32_t baud);

// `original` made into a raw line at `speed`: 8 data bits, no parity, one stop bit, the
// receiver on, modem lines ignored, XON/XOFF off both ways, reads returning at once.
// Hardware flow control (CRTSCTS) stays as `original` had it.
termios RawLine(const termios& original, speed_t speed);

// True when `actual`, read back from the port, has every setting that RawLine makes in
// `wanted`. tcsetattr() succeeds when any part of a change took, so only this tells.
bool LineTook(const termios& wanted, const termios& actual);

}  // namespace keltrove
