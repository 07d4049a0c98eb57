// PortJob: one port's conversation with its panel, for keltrove-cli: read, write, verify.
//
// Each job owns its port, its protocol session (the window's, so the bytes on the wire and
// their pacing are the window's) and its event loop, and runs on the thread that calls it;
// several jobs run side by side, one thread each. A read is whole only when entries 1 to 32
// have all arrived; a write counts as done only when a read-back shows the panel holds the
// table, unless the caller asks for none. Results say, naming the port and its device,
// what went wrong and what to do. One thread per object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JobResult.h"

namespace keltrove::cli {

class CStopRequest;
struct OpenWait;

class CPortJob {
public:
    // `portTag` comes back with the watcher's reports; `watch` may be null; `wait`, when not
    // null, says how long to wait for a port that does not open (--wait).
    CPortJob(std::string port, std::uint16_t portTag, CStopRequest& stop, IJobWatch* watch,
             const OpenWait* wait = nullptr);

    JobResult Read();
    JobResult Write(const EntryTexts& table, const WriteSteps& steps);
    JobResult Verify(const EntryTexts& table);

private:
    std::string m_strPort;
    std::uint16_t m_wPortTag;
    CStopRequest& m_Stop;
    IJobWatch* m_pWatch;
    const OpenWait* m_pWait;
};

// The panel's table as a file, as a read and a backup save it: a note of where and when it
// was read, and the values a write cannot put back as they stand, which `notes` gets too.
std::string PanelTableFile(const EntryTexts& panel, const JobResult& result,
                           std::vector<std::string>& notes);

}  // namespace keltrove::cli
