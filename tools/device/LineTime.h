// LineTime: the clock and the byte time of the simulated serial line.
//
// The device's logic takes time points as arguments and never reads a clock, so tests drive
// it with made-up times; only the I/O layer reads Clock. Pure, callable from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace keltrove::device {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Nanos = std::chrono::nanoseconds;

// The longest time that a simulator option or a panel list may give, in milliseconds: a
// day. Longer is surely a typo.
inline constexpr unsigned kMaxScheduleMs = 86'400'000;

// Line time of `bytes` bytes at `baud`: 10 bits each (start bit, 8 data bits, stop bit), so
// about 1.04 ms a byte at 9600. Computed from the count, not summed, so it does not drift.
constexpr Nanos LineTime(std::size_t bytes, unsigned baud) {
    return Nanos{static_cast<std::int64_t>(bytes) * 10'000'000'000LL / baud};
}

}  // namespace keltrove::device
