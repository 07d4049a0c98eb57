// DeviceServer: serves the simulated device on a pty until a stop signal arrives.
//
// The only part of the simulator that reads the clock and touches the line. One loop polls
// the stop signals, the pty master and the port-use watch, with a timeout that wakes it when
// the next answer byte is due; it writes what is due, feeds what arrives to the session, and
// tells the session when the program opens or closes the port. When the session asks for a
// hang-up, it lets the program read what was sent (a hang-up flushes the unread input of the
// program's side, and which frames arrived would then be left to chance), closes the line,
// plugs a new pty in under the same name and announces it.
//
// Main thread only. Run returns the stop signal's name; it throws CSystemError when the
// line fails, after which the caller's destructors still remove the port entry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DeviceSession.h"
#include "PortEntry.h"
#include "PortUseWatch.h"
#include "Pty.h"
#include "StopSignals.h"

namespace keltrove::device {

class CDeviceServer {
public:
    // Called with the link and the pty each time a line is plugged in.
    using Announce = std::function<void(const std::string& link, const std::string& pty)>;

    CDeviceServer(CDeviceSession& session, CPortEntry& entry, CStopSignals& stop,
                  Announce announce);

    std::string Run();

private:
    // The pty and the watch on its slave, created and dropped together.
    struct Line {
        explicit Line(std::uint32_t baud) : pty(baud) {}
        CPty pty;
        CPortUseWatch watch{pty.SlavePath()};
    };

    void PlugIn();
    void HangUp();
    void WaitUntilRead();
    bool Wait();  // false when a stop signal is pending
    void Transmit(TimePoint now);
    void Receive(TimePoint now);
    void WatchUse();

    CDeviceSession& m_Session;
    CPortEntry& m_Entry;
    CStopSignals& m_Stop;
    Announce m_Announce;
    std::unique_ptr<Line> m_Line;
    std::vector<std::uint8_t> m_Out;
    bool m_bWaitWritable = false;  // the master took no more; wait for POLLOUT
};

}  // namespace keltrove::device
