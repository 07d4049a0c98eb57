// Frames and times for the simulator's tests, built with the shared frame code the way the
// program builds them.
#pragma once

#include <chrono>
#include <span>
#include <string_view>
#include <vector>

#include "DeviceTable.h"
#include "Frame.h"
#include "LineLog.h"
#include "LineTime.h"

namespace keltrove::device::test {

inline Frame CommandFrame(Command command) {
    Frame frame = kInitialFrame;
    SetCommandFrame(frame, command);
    return frame;
}

inline Frame WriteEntryFrame(int entry, std::string_view text) {
    Frame frame = kInitialFrame;
    SetEntryFrame(frame, Command::WriteEntry, static_cast<std::uint8_t>(entry), text);
    return frame;
}

inline std::vector<std::uint8_t> Bytes(std::span<const Frame> frames) {
    std::vector<std::uint8_t> bytes;
    for (const Frame& frame : frames) bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}

inline StoredValue Value(std::string_view four) {
    return {static_cast<std::uint8_t>(four[0]), static_cast<std::uint8_t>(four[1]),
            static_cast<std::uint8_t>(four[2]), static_cast<std::uint8_t>(four[3])};
}

// A fixed origin for made-up times.
inline TimePoint At(Nanos sinceStart) {
    return TimePoint{} + std::chrono::hours(1) + sinceStart;
}

class CRecordingLog : public ILineLog {
public:
    void Line(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

}  // namespace keltrove::device::test
