// SimulatorProcess: the real keltrove-device, run as a child process, for the end-to-end
// tests and benchmarks.
//
// The child plugs its pty in as a COM port of $KELTROVE_PORT_DIR, which the caller has set
// (CPortDir does) before starting it. Its standard output, where it announces each line it
// plugs in, comes back through a pipe; its frame log goes to a file. The destructor stops
// it with SIGTERM and reaps it, and the child gets SIGTERM as well when this process dies
// without running destructors, so no device outlives its test. Every descriptor here is
// close-on-exec, so none leaks into the child.
//
// One thread. The constructor throws std::runtime_error when the child cannot be started;
// waits are bounded by a guard only so that a broken child fails a test instead of hanging
// it, and then return an empty or failed result.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "UniqueFd.h"

namespace keltrove::test {

class CSimulatorProcess {
public:
    // Starts keltrove-device with `options`; its frame log goes to `logPath`.
    CSimulatorProcess(std::vector<std::string> options, std::string logPath);
    ~CSimulatorProcess();
    CSimulatorProcess(const CSimulatorProcess&) = delete;
    CSimulatorProcess& operator=(const CSimulatorProcess&) = delete;

    // Waits for the next "<dir>/COMn -> <pty>" announcement: the first once the device
    // serves, then one after each hang-up. Returns the pty, or "" when the guard ran out
    // or the child ended.
    std::string WaitPlugged();

    // Stops the child with SIGTERM and reaps it. Returns its exit code (0 after a normal
    // stop), 128 + the signal that ended it, or -1 when it had to be killed.
    int Stop();

    // Every pty announced so far.
    const std::vector<std::string>& Ptys() const { return m_Ptys; }
    // The frame log written so far.
    std::string Log() const;

private:
    // Waits for the child's exit for at most `guardMs`; false when it still runs.
    bool Reap(int guardMs, int& exitCode);

    pid_t m_Pid = -1;
    UniqueFd m_PidFd;   // readable once the child has ended
    UniqueFd m_Stdout;  // the read end of the child's standard output
    std::string m_strBuffered;
    std::string m_strLogPath;
    std::vector<std::string> m_Ptys;
};

}  // namespace keltrove::test
