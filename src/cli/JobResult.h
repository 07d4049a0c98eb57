// JobResult: what a port's job is asked to do on a write, what it tells as it goes, and
// what it ends with; shared by the jobs and the station, which run the same conversation.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "EntryTable.h"
#include "ExitCode.h"
#include "TableDiff.h"
#include "WireTrace.h"

namespace keltrove::cli {

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

}  // namespace keltrove::cli
