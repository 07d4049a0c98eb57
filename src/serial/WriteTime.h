// WriteTime: how long a write to the port may take, so that a stalled line cannot hold the
// window's thread for long.
//
// 19200 / baud ms per byte: 2 at 9600, 1 at 19200, and no limit above 19200, where a write
// waits until the line has taken everything. Every platform's link bounds its writes by
// this. Pure; callable from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace keltrove {

// Milliseconds a byte may take at `baud`; 0 means no limit.
constexpr std::uint32_t WriteMsPerByte(std::uint32_t baud) {
    return baud != 0 ? 19200 / baud : 0;
}

// The whole limit for `count` bytes at `baud`; none when there is no limit.
inline std::optional<std::chrono::milliseconds> WriteTimeLimit(std::uint32_t baud,
                                                               std::uint32_t count) {
    const std::uint32_t msPerByte = WriteMsPerByte(baud);
    if (msPerByte == 0) return std::nullopt;
    return std::chrono::milliseconds(msPerByte) * count;
}

}  // namespace keltrove
