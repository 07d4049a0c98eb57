// StopSignals: SIGINT, SIGTERM and SIGHUP as a descriptor the server polls, so that a stop
// is handled in the main loop like any other event and the port entry is removed on the way
// out.
//
// Construct it on the main thread before any other thread exists: it blocks the three
// signals for the thread (threads started later inherit the mask) and restores the mask
// when destroyed. The constructor throws CSystemError.
#pragma once

#include <signal.h>

#include <string>

#include "UniqueFd.h"

namespace keltrove::device {

class CStopSignals {
public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // Readable when a stop signal is pending. Non-blocking, close-on-exec.
    int Fd() const { return m_Signals.Get(); }

    // Takes the pending signal; returns its name ("SIGTERM"), or "" when none was pending.
    std::string Take();

private:
    sigset_t m_OldMask{};
    UniqueFd m_Signals;
};

}  // namespace keltrove::device
