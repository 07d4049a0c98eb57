// PortSensor: the Windows half of CPortWatch (PortWatch.h): a poll once a second, each of
// which reports a possible change.
//
// Windows keeps no cheaper sign of a COM port's return that Wine keeps up to date (its
// ports are links to Unix devices, which no registry key or device notice follows), so the
// caller's open is the test; a window adds WM_DEVICECHANGE for the real system's notices.
// The same holds for every port at once: `ports --watch` lists them again each second.
//
// Open, Next and Polls belong to the watch's thread once it runs; Wake may be called from
// any thread. Open returns why it cannot wait at all (no event); nothing throws.
#pragma once

#include <chrono>
#include <string>

#include "UniqueHandle.h"

namespace keltrove {

class CPortSensor {
public:
    // `port` empty: every port; either way, and with or without `poll`, the same poll.
    CPortSensor(std::string port, bool poll, std::chrono::milliseconds period);

    std::string Open();

    // Blocks for a poll period (true), or until Wake (false).
    bool Next();

    // Ends the Next that waits, and every later one.
    void Wake();

    bool Polls() const { return true; }

private:
    const std::chrono::milliseconds m_PollPeriod;
    UniqueHandle m_Wake;  // a manual-reset event, set by Wake
};

}  // namespace keltrove
