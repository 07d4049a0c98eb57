// StderrLog: the simulator's log on standard error, one line at a time, each stamped with
// the time of day to the millisecond: "14:03:27.512 rx 01 40 30 30 30 30 30 03  read request".
//
// One thread. A line that cannot be written is lost; logging never stops the device.
#pragma once

#include "LineLog.h"

namespace keltrove::device {

class CStderrLog : public ILineLog {
public:
    void Line(std::string_view text) override;
};

}  // namespace keltrove::device
