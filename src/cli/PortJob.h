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
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "EntryTable.h"
#include "ExitCode.h"
#include "TableDiff.h"
#include "WireTrace.h"

namespace keltrove::cli {

class CStopRequest;
struct OpenWait;

struct JobResult {
    std::string port;    // as given: COM1, or a device path
    std::string device;  // the device itself, once known
    int code = kExitSuccess;
    std::string error;                // empty on success
    std::string reason;               // the error without the port: what failed, what to do
    std::optional<EntryTexts> panel;  // the panel's table, from the last whole read
    std::vector<EntryDifference> differences;
    std::string backup;         // write --backup: the file saved
    bool unchanged = false;     // write --if-changed: the panel held the table already
    bool sent = false;          // write: all its frames went out
    bool confirmed = false;     // write: the read-back shows the panel holds the table
    int entriesSent = 0;        // write: entry frames that went out
    std::uint64_t dropped = 0;  // received bytes dropped for want of room ("m_QueueRead FULL!")
};

struct WriteSteps {
    bool confirm = true;  // reads the table back and compares it
    bool ifChanged = false;
    // Set for --backup: saves the table read before the write, with the port's result so
    // far; returns an error text, empty when saved (and then the result's `backup` is set).
    std::function<std::string(const EntryTexts& panel, JobResult& result)> save;
};

// What a job tells as it goes, on the job's thread: every wire event, for --trace, and
// each step done (a frame sent, an entry received), for a progress bar.
class IJobWatch {
public:
    virtual ~IJobWatch() = default;
    virtual void OnWire(const std::string& port, WireEvent event,
                        std::span<const std::uint8_t> bytes) = 0;
    virtual void OnStep(const std::string& port) = 0;
};

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
