// Pty: one pseudo-terminal that stands in for the device's serial line.
//
// The simulator keeps the master side. The program opens the slave side, through the port
// directory's link, as its serial port. The simulator also holds a slave descriptor of its
// own for the line's whole life: without one, the master reports a hang-up whenever the
// program has the port closed, and a poll on it would spin; with it, the program can close
// and reopen the port as often as it likes. The slave starts in raw mode at the simulated speed, which a program that checks what
// it opened can read back, so that nothing
// echoes, translates or swallows a byte until the program sets the line up itself.
//
// Destroying the object closes both sides, which is how the line hangs up: the program's
// descriptor then reports POLLHUP, and reads give end of file or EIO, as when a USB adapter
// is unplugged.
//
// One thread. The constructor throws CSystemError naming the call that failed.
#pragma once

#include <cstdint>
#include <string>

#include "UniqueFd.h"

namespace keltrove::device {

class CPty {
public:
    // The line reports `baud` as its speed, where termios has that rate.
    explicit CPty(std::uint32_t baud);

    // Non-blocking, close-on-exec.
    int Master() const { return m_Master.Get(); }
    const std::string& SlavePath() const { return m_strSlavePath; }

    // The program closed the port: clear what it left on the line, as a real port starts
    // afresh at its next open. Drops the answer bytes it never read, and the exclusive-use
    // flag (TIOCEXCL), which on a pty outlives the program's close and would lock the user
    // out of the port after a program that died without clearing it.
    void ResetAfterClose();

    // Bytes written to the master that the program has not read yet.
    int UnreadByProgram() const;

private:
    void SetRaw(std::uint32_t baud);

    UniqueFd m_Master;
    UniqueFd m_Slave;
    std::string m_strSlavePath;
};

}  // namespace keltrove::device
