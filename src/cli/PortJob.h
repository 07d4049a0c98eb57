// PortJob: one port's conversation with its panel, for keltrove-cli: read, write, verify.
//
// Each job owns its port, its protocol session (the window's, so the bytes on the wire and
// their pacing are the window's) and its event loop, and runs on the thread that calls it;
// several jobs run side by side, one thread each. A read is whole only when entries 1 to 32
// have all arrived. Results say, naming the port and its device, what went wrong and what
// to do. One thread per object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "EntryTable.h"
#include "ExitCode.h"
#include "WireTrace.h"

namespace keltrove::cli {

class CStopRequest;

struct Difference {
    int entry = 0;
    std::string panel;  // as the panel holds it
    std::string file;   // as the file would put it on the wire: aligned
};

struct JobResult {
    std::string port;    // as given: COM1, or a device path
    std::string device;  // the device itself, once known
    int code = kExitSuccess;
    std::string error;                // empty on success
    std::optional<EntryTexts> panel;  // the panel's table, from a whole read
    std::vector<Difference> differences;
};

// What a job tells as it goes: each frame sent and each report received (for a progress
// bar), and every wire event for --trace. Called on the job's thread.
class IJobWatch {
public:
    virtual ~IJobWatch() = default;
    virtual void OnWire(const std::string& port, WireEvent event,
                        std::span<const std::uint8_t> bytes) = 0;
};

class CPortJob {
public:
    // `portId` comes back with the watcher's reports; `watch` may be null.
    CPortJob(std::string port, std::uint16_t portId, CStopRequest& stop, IJobWatch* watch);

    JobResult Read();
    JobResult Write(const EntryTexts& table, bool verify);
    JobResult Verify(const EntryTexts& table);

private:
    std::string m_strPort;
    std::uint16_t m_wPortId;
    CStopRequest& m_Stop;
    IJobWatch* m_pWatch;
};

// The entries where the panel's values differ from what `table` puts on the wire.
std::vector<Difference> Compare(const EntryTexts& panel, const EntryTexts& table);

}  // namespace keltrove::cli
