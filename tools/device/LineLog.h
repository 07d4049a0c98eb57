// LineLog: where the simulator's log lines go, and how frames read in them.
//
// ILineLog takes one finished line at a time; the real one stamps it with the time of day
// and prints it. The text helpers are pure. Single-threaded; logging never fails (a line
// that cannot be printed is lost).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "DeviceModel.h"
#include "WireTrace.h"  // HexBytes

namespace keltrove::device {

class ILineLog {
public:
    virtual ~ILineLog() = default;
    virtual void Line(std::string_view text) = 0;
};

// What the device did with a received frame, for its log line: "write entry 5 staged".
std::string DescribeOutcome(const FrameOutcome& outcome);

}  // namespace keltrove::device
