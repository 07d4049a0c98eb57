// Frame: the fixed 8-byte frame of the device's serial protocol.
//
//   byte 0  0x01 start
//   byte 1  command code
//   byte 2  entry index (1..32) in entry frames
//   byte 3..6  the entry's four value characters, leftmost first
//   byte 7  0x03 end
//
// No length, checksum or escaping. Value bytes are taken as they stand; nothing here
// converts or checks them. Pure functions, callable from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace keltrove {

using Frame = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t kFrameStart = 0x01;
inline constexpr std::uint8_t kFrameEnd = 0x03;
inline constexpr std::size_t kFrameSize = 8;
inline constexpr std::size_t kValueSize = 4;

// The device's line: 9600 baud, 8 data bits, no parity, one stop bit.
inline constexpr std::uint32_t kLineBaud = 9600;

// An entry's value as it travels: four bytes, leftmost first.
using FrameValue = std::array<std::uint8_t, kValueSize>;

// Both frame buffers start as eight "0" characters.
inline constexpr Frame kInitialFrame{0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30};

enum class Command : std::uint8_t {
    ReadRequest = 0x40,  // program to device
    WriteBegin = 0x10,   // program to device
    WriteEntry = 0x30,   // program to device: store bytes 3..6 as entry byte 2
    WriteEnd = 0x90,     // program to device
    EntryReport = 0x50,  // device to program: entry byte 2 holds bytes 3..6
};

// Sets bytes 0, 1 and 7 only. Bytes 2..6 keep what the previous frame carried; the
// device may see them, so they are left exactly as they were.
void SetCommandFrame(Frame& frame, Command command);

// Sets all eight bytes of an entry frame for `command`: the entry index, then `value`.
void SetEntryFrame(Frame& frame, Command command, std::uint8_t entry, const FrameValue& value);

// The outgoing value rule: the first four bytes of `text`, then, while the rightmost place
// is past the end of the text or holds a blank, and at most four times, shift right and
// fill "0" on the left. "12" -> "0012", "1 " -> "0001", " 12" -> "0 12", "" -> "0000".
// NUL bytes of the text are value bytes: "\0\0\0\0" goes out as four NULs.
FrameValue AlignValue(std::string_view text);

// Byte 2, the entry index, and bytes 3..6, the value.
constexpr int EntryOf(const Frame& frame) {
    return frame[2];
}
constexpr FrameValue ValueOf(const Frame& frame) {
    return {frame[3], frame[4], frame[5], frame[6]};
}

// True when byte 0 is 0x01 and byte 7 is 0x03: a frame of any command.
bool IsFramed(const Frame& frame);

// True for an entry report: byte 0 0x01, byte 7 0x03, byte 1 0x50, tested in that order.
bool IsEntryReport(const Frame& frame);

}  // namespace keltrove
