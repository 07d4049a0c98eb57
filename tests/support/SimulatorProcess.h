// SimulatorProcess: the real keltrove-device as a child process, for the end-to-end tests
// and the benchmark. It plugs its pty in as a COM port of $KELTROVE_PORT_DIR, which the
// caller has set (CPortDir does), and announces each line it plugs in on its standard
// output; its frame log goes to a file. CChildProcess is the same for any program that
// announces on its standard output (ser2net). The child dies with this process, and every
// descriptor here is close-on-exec. Waits are bounded by kGuardMs. One thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "TestIo.h"
#include "UniqueFd.h"

namespace keltrove::test {

class CChildProcess {
public:
    // Starts `argv` (the program's path first), its standard error into `logPath`; throws
    // std::runtime_error when it cannot.
    CChildProcess(std::vector<std::string> argv, std::string logPath);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Waits for the next line of its standard output that holds `text`, such as "panel 2
    // connected" or "unplugged"; the lines before it are passed over. The whole line, or ""
    // when the guard ran out or the child ended.
    std::string WaitAnnounced(std::string_view text);

    // Stops the child with SIGTERM (SIGKILL after the guard) and reaps it: its exit code,
    // 128 + the signal that ended it, or -1 when it had to be killed.
    int Stop();

    // The frame log written so far.
    std::string Log() const;

private:
    pid_t m_Pid = -1;
    UniqueFd m_PidFd;   // readable once the child has ended
    UniqueFd m_Stdout;  // the read end of the child's standard output
    std::string m_strBuffered;
    std::string m_strLogPath;
};

class CSimulatorProcess : public CChildProcess {
public:
    // Starts keltrove-device with `options`; throws std::runtime_error when it cannot.
    CSimulatorProcess(std::vector<std::string> options, std::string logPath);

    // Waits for the next "<dir>/COMn -> <pty>" announcement: the first once the device
    // serves, then one after each hang-up. The pty, or "" when the guard ran out.
    std::string WaitPlugged();
};

}  // namespace keltrove::test
