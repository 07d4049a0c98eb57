// DeviceServer: serves the simulated device on a pty until a stop signal arrives.
//
// The only part of the simulator that reads the clock and touches the line. One loop polls
// the stop signals, the pty master, the port-use watch and the control FIFO, with a timeout
// that wakes it when the next answer byte, panel change or replug is due; it writes what is
// due, feeds what arrives to the session, and tells the session when the program opens or
// closes the port.
//
// When the session asks for a hang-up, it lets the program read what was sent (a hang-up
// flushes the unread input of the program's side, and which frames arrived would then be
// left to chance) and closes the line. After --hangup-after it plugs a new pty in under the
// same name at once. To unplug (--replug-after, --replug-every, the unplug command) it
// removes COMn, closes the line without that wait when a timer or a command unplugs it,
// announces "<link> unplugged", and plugs a new pty in after --away (or at the plug
// command). The next pty is opened before the old one closes, so that it gets another
// number, as an adapter that comes back gets a new ttyUSBn. Each line plugged in is
// announced as "<link> -> <pty>".
//
// Main thread only. Run returns the stop signal's name; it throws CSystemError when the
// line fails, after which the caller's destructors still remove the port entry.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ControlFifo.h"
#include "DeviceSession.h"
#include "Options.h"
#include "PanelBench.h"
#include "PortEntry.h"
#include "PortUseWatch.h"
#include "Pty.h"
#include "StopSignals.h"

namespace keltrove::device {

class CDeviceServer {
public:
    // Called with each line for standard output.
    using Announce = std::function<void(const std::string& line)>;

    CDeviceServer(CDeviceSession& session, CPortEntry& entry, CStopSignals& stop, Announce announce,
                  const ReplugOptions& replug);

    // Panels come and go by `list`, or by the commands of `control` when it is not null.
    void UseBench(CPanelBench& bench, std::vector<ListedPanel> list, CControlFifo* control);

    std::string Run();

private:
    // The pty and the watch on its slave, created and dropped together.
    struct Line {
        explicit Line(std::uint32_t baud) : pty(baud) {}
        CPty pty;
        CPortUseWatch watch{pty.SlavePath()};
    };

    void RunTimers(TimePoint now);
    void PlugIn();
    void HangUp();
    void Unplug(std::optional<TimePoint> back);
    void WaitUntilRead();
    bool Wait();  // false when a stop signal is pending
    std::optional<TimePoint> NextDeadline() const;
    void Transmit(TimePoint now);
    void Receive(TimePoint now);
    void WatchUse();
    void TakeCommands();
    std::string Command(const std::string& line);  // what refused it; "" when done

    CDeviceSession& m_Session;
    CPortEntry& m_Entry;
    CStopSignals& m_Stop;
    Announce m_Announce;
    ReplugOptions m_Replug;
    CPanelBench* m_pBench = nullptr;
    std::vector<ListedPanel> m_List;
    CControlFifo* m_pControl = nullptr;
    std::unique_ptr<Line> m_Line;         // empty while unplugged
    std::unique_ptr<Line> m_NextLine;     // made before the old line closed
    std::optional<TimePoint> m_PlugAt;    // while unplugged; empty: at the plug command
    std::optional<TimePoint> m_UnplugAt;  // --replug-every
    std::vector<std::uint8_t> m_Out;
    bool m_bWaitWritable = false;  // the master took no more; wait for POLLOUT
};

}  // namespace keltrove::device
