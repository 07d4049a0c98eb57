// PortUseWatch: learns when the program opens and closes the simulated port.
//
// The simulator's own slave descriptor keeps the master from reporting a hang-up, so the
// master alone cannot tell. Instead, inotify watches the slave's device node for opens and
// closes. The watch is set up after the simulator opened its own descriptor, so it counts
// only other processes' descriptors: the port is open while that count is above 0.
//
// One thread. The constructor throws CSystemError; Drain throws it when reading the events
// fails for any reason other than having none.
#pragma once

#include <string>
#include <vector>

#include "UniqueFd.h"

namespace keltrove::device {

enum class PortUse { Opened, Closed };

class CPortUseWatch {
public:
    explicit CPortUseWatch(const std::string& slavePath);

    // Readable when events wait. Non-blocking, close-on-exec.
    int Fd() const { return m_Watch.Get(); }

    // Reads every waiting event. Returns the port's changes between closed and open, in
    // order: Opened when the first descriptor was opened, Closed when the last was closed.
    // Events come in as they happened, but may be read late: a close and a reopen can
    // arrive together.
    std::vector<PortUse> Drain();

    // Whether another process has the port open, as of the events drained so far.
    bool IsOpen() const { return m_nOpen > 0; }

private:
    UniqueFd m_Watch;
    std::string m_strPath;
    int m_nOpen = 0;
};

}  // namespace keltrove::device
