// The program's frames and the simulator's answers, for the simulator's tests.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "DeviceModel.h"

namespace keltrove::device {

inline Frame CommandFrame(Command command) {
    Frame frame = kInitialFrame;
    SetCommandFrame(frame, command);
    return frame;
}
inline Frame Entry(int entry, std::string_view text) {
    Frame frame = kInitialFrame;
    SetEntryFrame(frame, Command::WriteEntry, static_cast<std::uint8_t>(entry), AlignValue(text));
    return frame;
}
inline const Frame kRead = CommandFrame(Command::ReadRequest);
inline const Frame kBegin = CommandFrame(Command::WriteBegin);
inline const Frame kEnd = CommandFrame(Command::WriteEnd);

inline std::vector<std::uint8_t> Bytes(std::span<const Frame> frames) {
    std::vector<std::uint8_t> bytes;
    for (const Frame& frame : frames) bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}
// The 32 reports that a panel holding `table` answers a read with.
inline std::vector<Frame> Reports(const DeviceTable& table) {
    return CDeviceModel(table).Handle(kRead).replies;
}

}  // namespace keltrove::device
