// StopSignals: SIGINT, SIGTERM and SIGHUP as a descriptor that becomes readable when one
// has come, so that a program ends in order (its port closed, its lock file removed, no
// file half written) instead of by the signal's default action. The window, the command
// line and the simulator all take their stop signals this way.
//
// Construct it on the main thread before any other thread exists: it blocks the three
// signals for the thread, and threads started later inherit the mask; it restores the mask
// when destroyed. Where the descriptor cannot be made, the signals keep their default
// action and Error says why. One thread reads it at a time.
#pragma once

#include <signal.h>

#include <string>

#include "UniqueFd.h"

namespace keltrove {

class CStopSignals {
public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // Why the signals could not be taken; empty when they are.
    const std::string& Error() const { return m_strError; }

    // Readable when a stop signal is pending. Non-blocking, close-on-exec; -1 on failure.
    int Fd() const { return m_Signals.Get(); }

    // Takes the pending signal; returns its number, or 0 when none was pending.
    int Take();

    // "SIGTERM" for SIGTERM.
    static std::string Name(int signal);

private:
    sigset_t m_OldMask{};
    UniqueFd m_Signals;
    std::string m_strError;
};

}  // namespace keltrove
