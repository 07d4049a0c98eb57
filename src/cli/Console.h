// Console: what keltrove-cli writes on standard error while its jobs run: the --trace
// lines, the progress bar and the messages.
//
// Data goes to standard output and everything else here, one whole line at a time from
// whichever job's thread, so that the lines of several ports never mix. The progress bar
// is drawn only when standard error is a terminal, and not with --trace; in a pipe or a log
// it stays silent. Control characters in a line (a file or port name may hold any) are
// shown escaped, so that nothing given can drive the terminal. Output that cannot be
// delivered (a closed pipe) is dropped; the caller learns of it at the end (OutputLost).
// Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "PortJob.h"

namespace keltrove::cli {

class CConsole final : public IJobWatch {
public:
    CConsole(bool trace, bool stderrIsTerminal);

    // A job over `ports` begins, each expected to take `steps` frames sent and entries
    // received; `what` names it ("reading", "writing").
    void Begin(const std::vector<std::string>& ports, int steps, std::string what);
    // Clears the progress bar, if one is drawn.
    void End();

    // A line for the user; the progress bar is drawn again below it.
    void Say(const std::string& line);

    void OnWire(const std::string& port, WireEvent event,
                std::span<const std::uint8_t> bytes) override;
    void OnStep(const std::string& port) override;

private:
    void Draw();  // with m_Mutex held

    const bool m_bTrace;
    const bool m_bProgress;
    std::mutex m_Mutex;
    std::map<std::string, int> m_Done;  // steps done, by port
    int m_nSteps = 0;
    std::string m_strWhat;
    bool m_bDrawn = false;
};

// True when standard output or error has failed to take something written to it; flushes
// standard output first, so that what waits in its buffer counts.
bool OutputLost();

}  // namespace keltrove::cli
