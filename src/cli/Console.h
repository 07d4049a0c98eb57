// Console: what keltrove-cli writes on standard error while its jobs run: the --trace
// lines, the progress bar, the station's port states and bell, and the messages.
//
// Data goes to standard output and everything else here, one whole line at a time from
// whichever job's thread, so that the lines of several ports never mix. The progress bar
// (for the station, the line of port states) is drawn only when standard error is a
// terminal, and not with --trace; in a pipe or a log the bar stays silent and each change
// of a port's state is a line of its own. Control characters in a line (a file or port name may
// hold any) are shown escaped, so that nothing given can drive the terminal. Output that cannot be
// delivered (a closed pipe) is dropped; the caller learns of it at the end (OutputLost).
// Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "JobResult.h"

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
    // A line of data for standard output, as it is ready (the station's): the status line is
    // cleared first and drawn again after, since both may be the same terminal. `line` is
    // written as it is: escape what a terminal must not take.
    void Out(const std::string& line);

    // The station: what `port` does now, in words ("waiting for a panel"), and as one of
    // a few words that the status line counts when there are several ports ("waiting");
    // `steps` > 0 counts its frames and entries from here, as Begin does.
    void SetState(const std::string& port, const std::string& state, const std::string& group,
                  int steps = 0);
    // Rings the bell of the terminal that standard error is; false (nothing) elsewhere.
    bool Bell();

    void OnWire(const std::string& port, WireEvent event,
                std::span<const std::uint8_t> bytes) override;
    void OnStep(const std::string& port) override;

private:
    struct PortState {
        std::string text;
        std::string group;
        int steps = 0;
    };

    void Draw();  // with m_Mutex held
    std::string StatesLine() const;

    const bool m_bTrace;
    const bool m_bTerminal;
    const bool m_bProgress;
    std::mutex m_Mutex;
    std::map<std::string, int> m_Done;          // steps done, by port
    std::map<std::string, PortState> m_States;  // the station's, by port
    int m_nSteps = 0;
    std::string m_strWhat;
    bool m_bDrawn = false;
};

// True when standard output or error has failed to take something written to it; flushes
// standard output first, so that what waits in its buffer counts.
bool OutputLost();

}  // namespace keltrove::cli
