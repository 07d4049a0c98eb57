#include "Station.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <thread>

#include "ComNames.h"
#include "Console.h"
#include "Conversation.h"
#include "FileIo.h"
#include "FileTexts.h"
#include "LocalTime.h"
#include "LogFile.h"
#include "PortJob.h"
#include "PortWait.h"
#include "SerialDevices.h"
#include "Sha256.h"
#include "StopRequest.h"
#include "TableDiff.h"
#include "TableFile.h"
#include "Targets.h"

namespace keltrove::cli {

namespace {

using Json = nlohmann::ordered_json;

// At most one read request a second while a panel is awaited, or awaited to go.
constexpr std::chrono::seconds kProbePeriod{1};
// Unanswered requests in a row that say a panel has gone.
constexpr int kGoneAfter = 2;
// Answers in part in a row that make a panel fail rather than be asked again.
constexpr int kPartialAnswers = 2;
// Between two bells: terminals ring bells that come closer together as one.
constexpr std::chrono::milliseconds kBellGap{250};
// Steps of a write and its read-back, for the status line: frames sent, request, entries.
constexpr int kWriteSteps = kWriteFrameCount + 1 + kEntryCount;
constexpr std::size_t kDifferencesNamed = 3;

// The state groups that the status line counts when there are several ports.
constexpr const char* kAwaitingPort = "waiting for their port";
constexpr const char* kAwaitingPanel = "waiting for a panel";
constexpr const char* kWriting = "writing";
constexpr const char* kAwaitingGoing = "waiting for a panel to go";

std::uint16_t PortTag(const std::string& port, std::size_t index) {
    const int number = ComNumber(port, kLastNamedComPort);
    return static_cast<std::uint16_t>(number != 0 ? number : 1000 + index);
}

// The table's digest in the table file format, without notes.
std::string TableDigest(const EntryTexts& table) {
    return Sha256Hex(FormatTableFile(table));
}

Json OrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size()) {
        text.replace(at, what.size(), with);
    }
    return text;
}

// "the read-back differs from TABLE in 2 of 32 entries (entry 5: the panel holds ...)".
std::string Differences(const JobResult& result, const std::string& table) {
    std::string text = "the table was sent, but the read-back differs from " + table + " in " +
                       std::to_string(result.differences.size()) + " of 32 entries (";
    for (std::size_t i = 0; i < std::min(result.differences.size(), kDifferencesNamed); ++i) {
        const EntryDifference& difference = result.differences[i];
        text += (i == 0 ? "" : "; ") + std::string("entry ") + std::to_string(difference.entry) +
                ": the panel holds \"" + DisplayValue(difference.panel) + "\", not \"" +
                DisplayValue(difference.stored) + "\"";
    }
    return text + (result.differences.size() > kDifferencesNamed ? "; ...)" : ")") +
           "; write it again, or check the panel";
}

}  // namespace

struct CStation::Record {
    std::string port;
    std::string device;
    Result result = Result::Failed;
    std::string error;
    std::string before;  // digests
    std::string after;
    double seconds = 0;
    std::string backup;
};

CStation::CStation(StationOptions options, const EntryTexts& table, CStopRequest& stop,
                   CConsole& console, CLogFile* log)
    : m_Options(std::move(options)),
      m_Table(table),
      m_Stop(stop),
      m_Console(console),
      m_pLog(log) {}

std::string CStation::FileTime(std::time_t when) {
    const std::tm local = LocalCalendar(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

StationTally CStation::Run() {
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < m_Options.ports.size(); ++i) {
        const std::string& port = m_Options.ports[i];
        threads.emplace_back([this, &port, i] { ServePort(port, PortTag(port, i)); });
    }
    for (std::thread& thread : threads) thread.join();
    m_Console.End();
    std::lock_guard lock(m_Mutex);
    return m_Tally;
}

void CStation::ServePort(const std::string& port, std::uint16_t portTag) {
    while (!m_Stop.Requested()) {
        JobResult result;  // what the conversation tells, panel by panel
        result.port = port;
        CConversation line(port, portTag, m_Stop, &m_Console, result);
        OpenWait wait;  // for as long as it takes
        wait.waiting = [&](const std::string& why) {
            m_Console.SetState(port, "waiting for the port: " + why, kAwaitingPort);
        };
        if (!line.Open(&wait)) return;  // without a deadline, only a stop ends the wait
        if (!ServeLine(line, result, port)) return;
        m_Console.SetState(
            port, "the port was lost (" + line.LostReason() + "); waiting for it to come back",
            kAwaitingPort);
    }
}

bool CStation::ServeLine(CConversation& line, JobResult& result, const std::string& port) {
    m_Console.SetState(port, "waiting for a panel", kAwaitingPanel);
    bool served = false;  // the panel connected now has been served
    int silent = 0;
    int partial = 0;
    Clock::time_point next = Clock::now();
    for (;;) {
        if (!line.IdleUntil(next)) return !m_Stop.Requested();
        const Clock::time_point asked = Clock::now();
        next = asked + kProbePeriod;
        EntryTexts panel;
        const ProbeEnd probe = line.Probe(panel);
        if (probe == ProbeEnd::Stopped) return false;
        if (probe == ProbeEnd::Lost) return true;
        silent = probe == ProbeEnd::Silent ? silent + 1 : 0;
        partial = probe == ProbeEnd::Partial ? partial + 1 : 0;
        if (served) {
            if (silent < kGoneAfter) continue;
            served = false;
            m_Console.SetState(port, "waiting for a panel", kAwaitingPanel);
            continue;
        }
        if (probe == ProbeEnd::Silent ||
            (probe == ProbeEnd::Partial && partial < kPartialAnswers)) {
            continue;
        }
        if (!Claim()) return false;
        ServePanel(line, result, probe == ProbeEnd::Whole ? &panel : nullptr, asked);
        served = true;
        silent = 0;
        partial = 0;
        m_Console.SetState(port, "waiting for the panel to be disconnected", kAwaitingGoing);
        next = Clock::now() + kProbePeriod;
    }
}

void CStation::ServePanel(CConversation& line, JobResult& result, const EntryTexts* panel,
                          Clock::time_point asked) {
    Record record;
    record.port = result.port;
    record.device = result.device;
    result = JobResult{};  // this panel's alone
    result.port = record.port;
    result.device = record.device;
    if (panel != nullptr) record.before = TableDigest(*panel);
    if (panel == nullptr) {
        record.error = "the answer stopped short twice (entries not received: " +
                       DescribeEntries(line.Missing()) +
                       "); check the cable, then connect it again";
    } else if (DiffWithPanel(*panel, m_Table).empty()) {
        record.result = Result::Unchanged;
        record.after = record.before;
    } else {
        m_Console.SetState(record.port, "writing", kWriting, kWriteSteps);
        WriteSteps steps{true, false, nullptr};
        if (!m_Options.backup.empty()) {
            steps.save = [&](const EntryTexts& before, JobResult& saved) {
                const std::string path = OutputFor(
                    Replaced(m_Options.backup, "{time}", FileTime(std::time(nullptr))), saved.port);
                std::vector<std::string> notes;
                std::string failed = SaveAtomically(path, PanelTableFile(before, saved, notes));
                if (failed.empty()) saved.backup = path;
                return failed;
            };
        }
        line.WriteOnto(*panel, m_Table, steps);
        record.result = result.confirmed ? Result::Written : Result::Failed;
        // A whole read-back, confirming or not, shows what the panel holds now.
        if (result.sent && result.panel && (result.confirmed || !result.differences.empty())) {
            record.after = TableDigest(*result.panel);
        }
        if (!result.confirmed) {
            record.error =
                result.reason.empty() ? Differences(result, m_Options.tablePath) : result.reason;
        }
        record.backup = result.backup;
    }
    record.seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    Report(record);
    Ring(line, record.result == Result::Failed ? 3 : 1);
}

void CStation::Report(Record& record) {
    const std::time_t now = std::time(nullptr);
    // Where the adapter is known by a name of its own, that name and its serial number.
    SerialDevice adapter;
    for (SerialDevice& device : ListSerialDevices()) {
        if (device.path == record.device) adapter = std::move(device);
    }
    bool last = false;
    {
        std::lock_guard lock(m_Mutex);
        StationTally& tally = m_Tally;
        ++tally.served;
        const char* result = "failed";
        std::string said = "failed: " + record.error;
        if (record.result == Result::Written) {
            ++tally.written;
            result = "written";
            said = "written and confirmed";
        } else if (record.result == Result::Unchanged) {
            ++tally.unchanged;
            result = "unchanged";
            said = "unchanged: it holds the table already";
        } else {
            ++tally.failed;
        }
        if (!record.backup.empty()) said += "; what it held is saved in " + record.backup;
        const Json line{{"time", IsoLocalTime(now)},
                        {"port", record.port},
                        {"device", OrNull(record.device)},
                        {"by_id", OrNull(adapter.stable)},
                        {"serial", OrNull(adapter.serial)},
                        {"panel", tally.served},
                        {"result", result},
                        {"error", OrNull(record.error)},
                        {"sha256_before", OrNull(record.before)},
                        {"sha256_after", OrNull(record.after)},
                        {"seconds", std::round(record.seconds * 100) / 100},
                        {"backup", OrNull(record.backup)},
                        {"table", m_Options.tablePath}};
        // A name that is not UTF-8 (a Linux file name may be anything) must not end the run.
        const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace);
        if (m_pLog != nullptr) {
            if (std::string failed = m_pLog->Append(text + "\n"); !failed.empty()) {
                tally.logError = failed;
                m_Console.Say(failed + "; panel " + std::to_string(tally.served) + " (" +
                              record.port + ", " + result + ") is not in it");
            }
        }
        m_Console.Out(m_Options.json ? text
                                     : LocalTimeText(now) + "  " + DisplayText(record.port) + "  " +
                                           DisplayText(said) + "  (" +
                                           std::to_string(tally.served) + " served)");
        last = m_Options.count && tally.served >= static_cast<int>(*m_Options.count);
    }
    if (last) m_Stop.Request();  // every panel counted has been served: the others end
}

void CStation::Ring(CConversation& line, int count) {
    for (int bell = 0; bell < count; ++bell) {
        if (bell > 0) line.IdleUntil(Clock::now() + kBellGap);
        if (!m_Console.Bell()) return;
    }
}

bool CStation::Claim() {
    std::lock_guard lock(m_Mutex);
    if (m_Options.count && m_nClaimed >= static_cast<int>(*m_Options.count)) return false;
    ++m_nClaimed;
    return true;
}

}  // namespace keltrove::cli
