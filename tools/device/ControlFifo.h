// ControlFifo: commands for the running simulator through a named pipe, one a line, so that
// a test or a person can change the bench while it runs: `echo disconnect > FIFO`.
//
// The FIFO is made (mode 0600) when the path does not exist, and then removed again by the
// destructor; an existing FIFO is used and left. The simulator holds it open for reading and
// writing, so that it never sees the end of the input when a writer closes, and a writer
// never blocks waiting for a reader. Lines end with "\n" (a "\r" before it is dropped); an
// overlong line is cut into pieces, which are then refused as commands.
//
// One thread. The constructor throws CSystemError, or std::runtime_error for a path that
// exists and is no FIFO; TakeLines throws CSystemError when reading fails.
#pragma once

#include <string>
#include <vector>

#include "UniqueFd.h"

namespace keltrove::device {

class CControlFifo {
public:
    explicit CControlFifo(std::string path);
    ~CControlFifo();
    CControlFifo(const CControlFifo&) = delete;
    CControlFifo& operator=(const CControlFifo&) = delete;

    // Readable when input waits. Non-blocking, close-on-exec.
    int Fd() const { return m_Fifo.Get(); }

    // The complete lines that have arrived, in order.
    std::vector<std::string> TakeLines();

private:
    void Open();

    std::string m_strPath;
    bool m_bMade = false;
    UniqueFd m_Fifo;
    std::string m_strPartial;
};

}  // namespace keltrove::device
