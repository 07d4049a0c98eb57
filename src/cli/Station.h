// Station: `keltrove-cli station`, a provisioning bench. The cable goes from panel to panel;
// every panel that answers on one of the ports gets the table, once, and a record.
//
// Each port is served on a thread of its own, through the jobs' conversation (Conversation.h),
// so the frames and their pacing are those of `write`:
//   - waiting for a panel, it sends the read request at most once a second and nothing else;
//   - a panel that answers with its whole table and holds the table already (DiffWithPanel,
//     the write's rule) is "unchanged"; any other is backed up when asked, written, and
//     confirmed by reading it back; a panel that twice answers only in part fails;
//   - then it waits until that panel has gone (no answer to two requests in a row, or the
//     port lost): a panel still connected is never served again;
//   - a port that is missing or lost is waited for (PortWait.h) and opened again.
// Each panel served is reported as it ends: a line on standard output (or, with --json, the
// log's object), a line in the log, synced to the disk before the port goes on, and on a
// terminal a bell. A stop request (Ctrl+C) ends every port, a write under way at its next
// frame; --count N ends the station once N panels have been served (a port takes a panel's
// place in the count before it serves it, so that no more than N are served).
//
// Run belongs to the caller's thread and returns once every port's thread has ended;
// reporting is serialised. Failures of a panel or a port are reported, never thrown.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "EntryTable.h"

namespace keltrove::cli {

class CConsole;
class CConversation;
class CLogFile;
class CStopRequest;
struct JobResult;

struct StationOptions {
    std::vector<std::string> ports;
    std::string tablePath;          // as given, for the records
    std::string backup;             // a pattern with {time} (and {port}); empty: none
    std::optional<unsigned> count;  // panels to serve; none: until stopped
    bool json = false;              // standard output carries the records
};

// What a station's run did, for the summary.
struct StationTally {
    int served = 0;
    int written = 0;
    int unchanged = 0;
    int failed = 0;
    std::string logError;  // the last failure to add to the log; empty when none
};

class CStation {
public:
    using Clock = std::chrono::steady_clock;

    // The log may be null (no --log).
    CStation(StationOptions options, const EntryTexts& table, CStopRequest& stop, CConsole& console,
             CLogFile* log);

    // Serves until a stop request, or until --count is reached.
    StationTally Run();

    // {time} in a backup's name: "2026-12-07_14-03-27", which any file system takes.
    static std::string FileTime(std::time_t when);

private:
    enum class Result { Written, Unchanged, Failed };
    struct Record;

    void ServePort(const std::string& port, std::uint16_t portTag);
    // Serves the panels of an open line; true when the line was lost (open it again), false
    // when the station ends.
    bool ServeLine(CConversation& line, JobResult& result, const std::string& port);
    // One panel: its whole table in `panel`, or null when it answered only in part.
    void ServePanel(CConversation& line, JobResult& result, const EntryTexts* panel,
                    Clock::time_point asked);
    void Report(Record& record);
    // Rings `count` bells, apart enough for a terminal to ring each.
    void Ring(CConversation& line, int count);
    // Takes a place in --count for a panel about to be served; false when none is left.
    bool Claim();

    const StationOptions m_Options;
    const EntryTexts m_Table;
    CStopRequest& m_Stop;
    CConsole& m_Console;
    CLogFile* m_pLog;

    std::mutex m_Mutex;
    StationTally m_Tally;  // guarded
    int m_nClaimed = 0;    // guarded
};

}  // namespace keltrove::cli
