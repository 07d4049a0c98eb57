#include "Commands.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <thread>

#include "ComNames.h"
#include "Console.h"
#include "FileIo.h"
#include "FileTexts.h"
#include "LinkEvents.h"
#include "LocalTime.h"
#include "LogFile.h"
#include "PortDescription.h"
#include "PortJob.h"
#include "PortWait.h"
#include "ProtocolSession.h"
#include "SerialDevices.h"
#include "Station.h"
#include "StopRequest.h"
#include "TableDiff.h"
#include "TableFile.h"
#include "TableFiles.h"
#include "Targets.h"
#include "Terminal.h"
#include "UserPortMap.h"
#include "WatchPorts.h"

namespace keltrove::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kReadSteps = 1 + kEntryCount;  // the request, then 32 entries
constexpr std::size_t kProblemsShown = 5;    // of a bad table file; more would scroll away

// With several ports, every port needs a file of its own (read's tables cannot share
// standard output either).
std::string NeedsPortInName(const Request& request, const std::string& pattern,
                            const char* option) {
    const bool given = !pattern.empty() || request.command == Command::Read;
    if (request.ports.size() < 2 || !given || pattern.find("{port}") != std::string::npos) {
        return {};
    }
    return std::string("with several ports, ") + option +
           " must name a file with {port} in it, "
           "such as " +
           option + " panel-{port}.txt";
}

// The usage errors that only the file system and the port maps show: two names of one
// device, and files that clash (Targets.h).
std::string TargetsProblem(const Request& request) {
    if (std::string wrong = OneDeviceTwice(request.ports); !wrong.empty()) return wrong;
    if (request.command == Command::Read && !request.output.empty()) {
        return FilesThatClash("-o", request.output, request.ports);
    }
    if (request.command == Command::Write && !request.backup.empty()) {
        return FilesThatClash("--backup", request.backup, request.ports, request.file);
    }
    return {};
}

std::uint16_t PortTag(const std::string& port, std::size_t index) {
    const int number = ComNumber(port, kLastNamedComPort);
    return static_cast<std::uint16_t>(number != 0 ? number : 1000 + index);
}

// How long --wait waits, in words: "10 s", "0.5 s".
std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// Runs `work` on every port at once, one thread each.
std::vector<JobResult> RunOnEveryPort(const Request& request, CStopRequest& stop, CConsole& console,
                                      int steps, const std::string& what,
                                      const std::function<JobResult(CPortJob&)>& work) {
    console.Begin(request.ports, steps, what);
    std::vector<JobResult> results(request.ports.size());
    // --wait counts from the start, for every port alike.
    std::vector<OpenWait> waits;
    if (request.wait) {
        const auto until =
            OpenWait::Clock::now() + std::chrono::duration_cast<OpenWait::Clock::duration>(
                                         std::chrono::duration<double>(*request.wait));
        for (const std::string& port : request.ports) {
            waits.push_back(
                {until,
                 [&console, &request, port](const std::string& why) {
                     console.Say(port + ": waiting up to " + Seconds(*request.wait) +
                                 " for the port to open: " + why);
                 },
                 "; it did not open within the " + Seconds(*request.wait) + " of --wait"});
        }
    }
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
        threads.emplace_back([&, i] {
            CPortJob job(request.ports[i], PortTag(request.ports[i], i), stop, &console,
                         waits.empty() ? nullptr : &waits[i]);
            results[i] = work(job);
        });
    }
    for (std::thread& thread : threads) thread.join();
    console.End();
    return results;
}

int Worst(const std::vector<JobResult>& results) {
    int worst = kExitSuccess;
    for (const JobResult& result : results) worst = std::max(worst, result.code);
    return worst;
}

// The ports' errors in one text, or null when none failed.
Json Errors(const std::vector<JobResult>& results) {
    std::string errors;
    for (const JobResult& result : results) {
        if (result.error.empty()) continue;
        errors += (errors.empty() ? "" : "; ") + result.error;
    }
    return errors.empty() ? Json(nullptr) : Json(errors);
}

Json EntriesJson(const EntryTexts& table) {
    Json entries = Json::array();
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        entries.push_back({{"entry", entry},
                           {"value", DisplayValue(table[EntryIndex(entry)])}});
    }
    return entries;
}

Json PortJson(const JobResult& result) {
    return {{"port", result.port},
            {"device", result.device},
            {"exit", result.code},
            {"error", result.error.empty() ? Json(nullptr) : Json(result.error)},
            {"dropped_bytes", result.dropped}};
}

Json DifferencesJson(const std::vector<EntryDifference>& differences) {
    Json list = Json::array();
    for (const EntryDifference& difference : differences) {
        list.push_back({{"entry", difference.entry},
                        {"panel", DisplayValue(difference.panel)},
                        {"file", DisplayValue(difference.stored)}});
    }
    return list;
}

void PrintJson(const Json& json) {
    // A name that is not UTF-8 (a Linux file name may be anything) must not end the run.
    std::printf("%s\n", json.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

// One line per port: its error, or what `outcome` says of it, and the received bytes that
// were dropped. `quiet`: nothing for a port that did well.
void Summarize(CConsole& console, const std::vector<JobResult>& results,
               const std::function<std::string(const JobResult&)>& outcome, bool quiet = false) {
    for (const JobResult& result : results) {
        if (quiet && result.code == kExitSuccess && result.dropped == 0) continue;
        std::string line =
            result.error.empty() ? result.port + ": " + outcome(result) : result.error;
        if (result.dropped > 0) {
            line += "; " + std::string(kMsgQueueFull) + ": " + std::to_string(result.dropped) +
                    " received bytes were dropped, because the device sent faster than they "
                    "could be taken";
        }
        console.Say(line);
    }
}

void SayDifferences(CConsole& console, const JobResult& result) {
    for (const EntryDifference& difference : result.differences) {
        console.Say(result.port + ": entry " + std::to_string(difference.entry) +
                    ": the panel holds \"" + DisplayValue(difference.panel) +
                    "\", the file would write \"" + DisplayValue(difference.stored) + "\"");
    }
}

// The panel's table as a file. The values a write cannot put back as they stand are said
// on standard error and kept as comments, so that a restore does not surprise.
std::string TableText(const EntryTexts& panel, const JobResult& result, CConsole& console,
                      Json& json) {
    std::vector<std::string> notes;
    std::string text = PanelTableFile(panel, result, notes);
    for (const std::string& note : notes) console.Say(result.port + ": " + note);
    json["notes"] = notes;
    return text;
}

// The table in `path`; its problems said (the first few) and put in `json` otherwise.
std::optional<EntryTexts> LoadOrSay(const std::string& path, CConsole& console, Json& json,
                                    bool sends) {
    TableLoad load = LoadTable(path);
    if (load.table) return load.table;
    for (std::size_t i = 0; i < std::min(load.problems.size(), kProblemsShown); ++i) {
        console.Say(load.problems[i]);
    }
    if (load.problems.size() > kProblemsShown) {
        console.Say("... and " + std::to_string(load.problems.size() - kProblemsShown) + " more");
    }
    const std::string error =
        path + (sends ? ": nothing was sent; " : ": ") + "correct the file and try again";
    console.Say(error);
    if (!json.contains("problems")) json["problems"] = Json::array();
    for (const std::string& problem : load.problems) json["problems"].push_back(problem);
    json["error"] = error;
    return std::nullopt;
}

int UsageError(CConsole& console, Json& json, const std::string& error) {
    console.Say("keltrove-cli: " + error);
    json["error"] = error;
    return kExitUsage;
}

int Read(const Request& request, CStopRequest& stop, CConsole& console, Json& json) {
    if (std::string wrong = NeedsPortInName(request, request.output, "-o"); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    if (std::string wrong = TargetsProblem(request); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    std::vector<JobResult> results = RunOnEveryPort(request, stop, console, kReadSteps, "reading",
                                                    [](CPortJob& job) { return job.Read(); });
    json["ports"] = Json::array();
    for (JobResult& result : results) {
        Json entry = PortJson(result);
        if (result.panel) {
            const std::string text = TableText(*result.panel, result, console, entry);
            if (request.output.empty()) {
                if (!request.json) std::fputs(text.c_str(), stdout);
                entry["entries"] = EntriesJson(*result.panel);
            } else {
                const std::string path = OutputFor(request.output, result.port);
                if (std::string failed = SaveAtomically(path, text); !failed.empty()) {
                    result.code = kExitUsage;
                    result.error =
                        failed + "; the table read from " + result.port + " was not saved";
                    entry["exit"] = result.code;
                    entry["error"] = result.error;
                } else {
                    entry["file"] = path;
                }
            }
        }
        json["ports"].push_back(entry);
    }
    Summarize(
        console, results, [](const JobResult&) { return "read, all 32 entries"; },
        results.size() == 1);
    json["error"] = Errors(results);
    return Worst(results);
}

int Write(const Request& request, CStopRequest& stop, CConsole& console, Json& json) {
    json["file"] = request.file;
    json["verify"] = request.confirm;
    if (std::string wrong = NeedsPortInName(request, request.backup, "--backup"); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    if (std::string wrong = TargetsProblem(request); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    const std::optional<EntryTexts> table = LoadOrSay(request.file, console, json, true);
    if (!table) return kExitUsage;
    WriteSteps steps{request.confirm, request.ifChanged, nullptr};
    if (!request.backup.empty()) {
        steps.save = [&](const EntryTexts& panel, JobResult& result) {
            Json ignored;
            const std::string path = OutputFor(request.backup, result.port);
            std::string failed = SaveAtomically(path, TableText(panel, result, console, ignored));
            if (failed.empty()) result.backup = path;
            return failed;
        };
    }
    const bool readsFirst = steps.save || steps.ifChanged;
    const int stepCount =
        (readsFirst ? kReadSteps : 0) + kWriteFrameCount + (request.confirm ? kReadSteps : 0);
    const std::vector<JobResult> results =
        RunOnEveryPort(request, stop, console, stepCount, "writing",
                       [&](CPortJob& job) { return job.Write(*table, steps); });
    json["ports"] = Json::array();
    for (const JobResult& result : results) {
        Json entry = PortJson(result);
        entry["backup"] = result.backup.empty() ? Json(nullptr) : Json(result.backup);
        entry["unchanged"] = result.unchanged;
        entry["sent"] = result.sent;
        entry["entries_sent"] = result.entriesSent;
        entry["confirmed"] = result.confirmed;
        if (result.sent && request.confirm && result.panel) {
            entry["differences"] = DifferencesJson(result.differences);
        }
        json["ports"].push_back(entry);
        if (!request.json) SayDifferences(console, result);
    }
    Summarize(console, results, [&](const JobResult& result) {
        std::string line =
            result.unchanged   ? "already holds the table; nothing was written"
            : !request.confirm ? "sent, not confirmed (--no-verify: nothing was read back)"
            : result.confirmed ? "written, and all 32 entries read back as written"
                               : "sent, but the read-back differs from " + request.file + " in " +
                                     std::to_string(result.differences.size()) + " of 32 entries";
        if (!result.backup.empty()) line += "; what it held before is saved in " + result.backup;
        return line;
    });
    json["error"] = Errors(results);
    return Worst(results);
}

int Verify(const Request& request, CStopRequest& stop, CConsole& console, Json& json) {
    json["file"] = request.file;
    if (std::string wrong = TargetsProblem(request); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    const std::optional<EntryTexts> table = LoadOrSay(request.file, console, json, false);
    if (!table) return kExitUsage;
    const std::vector<JobResult> results =
        RunOnEveryPort(request, stop, console, kReadSteps, "reading",
                       [&](CPortJob& job) { return job.Verify(*table); });
    json["ports"] = Json::array();
    for (const JobResult& result : results) {
        Json entry = PortJson(result);
        if (result.panel) entry["differences"] = DifferencesJson(result.differences);
        json["ports"].push_back(entry);
        if (!request.json) SayDifferences(console, result);
    }
    Summarize(console, results, [&](const JobResult& result) {
        return result.differences.empty() ? "all 32 entries match " + request.file
                                          : std::to_string(result.differences.size()) +
                                                " of 32 entries differ from " + request.file;
    });
    json["error"] = Errors(results);
    return Worst(results);
}

// The usage errors of a station's command line that the file system shows.
std::string StationProblem(const Request& request) {
    if (std::string wrong = OneDeviceTwice(request.ports); !wrong.empty()) return wrong;
    if (!request.log.empty() && SameFile(request.log, request.file)) {
        return "--log " + request.log + " is the table file; give the log another name";
    }
    if (request.backup.empty()) return {};
    if (request.backup.find("{time}") == std::string::npos) {
        return "--backup must name a file with {time} in it, such as --backup "
               "'before-{time}.txt', so that each panel's table has a file of its own";
    }
    if (std::string wrong = NeedsPortInName(request, request.backup, "--backup"); !wrong.empty()) {
        return wrong;
    }
    // As the first panels' files would be named.
    std::string sample = request.backup;
    sample.replace(sample.find("{time}"), 6, CStation::FileTime(std::time(nullptr)));
    return FilesThatClash("--backup", sample, request.ports, request.file);
}

int Station(const Request& request, CStopRequest& stop, CConsole& console, Json& json) {
    json["table"] = request.file;
    json["log"] = request.log.empty() ? Json(nullptr) : Json(request.log);
    if (std::string wrong = StationProblem(request); !wrong.empty()) {
        return UsageError(console, json, wrong);
    }
    const std::optional<EntryTexts> table = LoadOrSay(request.file, console, json, true);
    if (!table) return kExitUsage;
    std::optional<CLogFile> log;
    if (!request.log.empty()) {
        log.emplace(request.log);
        if (!log->Error().empty()) return UsageError(console, json, log->Error());
    }
    CStation station({request.ports, request.file, request.backup, request.count, request.json},
                     *table, stop, console, log ? &*log : nullptr);
    const StationTally tally = station.Run();
    json["served"] = tally.served;
    json["written"] = tally.written;
    json["unchanged"] = tally.unchanged;
    json["failed"] = tally.failed;
    if (!request.json) {
        std::printf("%d panel%s served: %d written, %d unchanged, %d failed\n", tally.served,
                    tally.served == 1 ? "" : "s", tally.written, tally.unchanged, tally.failed);
    }
    if (!tally.logError.empty()) {
        json["error"] = tally.logError;
        return kExitOutputLost;
    }
    if (tally.failed == 0) return kExitSuccess;
    json["error"] = std::to_string(tally.failed) + " of " + std::to_string(tally.served) +
                    " panels failed; their lines say why";
    return kExitDevice;
}

int Diff(const Request& request, CConsole& console, Json& json) {
    json["files"] = request.files;
    const std::optional<EntryTexts> first = LoadOrSay(request.files[0], console, json, false);
    const std::optional<EntryTexts> second = LoadOrSay(request.files[1], console, json, false);
    if (!first || !second) return kExitUsage;
    // By what each puts in a panel: "12" and "0012" store the same bytes.
    Json differences = Json::array();
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const std::string& one = (*first)[EntryIndex(entry)];
        const std::string& other = (*second)[EntryIndex(entry)];
        if (StoredValue(one) == StoredValue(other)) continue;
        differences.push_back(
            {{"entry", entry}, {"first", DisplayValue(one)}, {"second", DisplayValue(other)}});
        if (request.json) continue;
        std::printf("entry %d: %s \"%s\", %s \"%s\"\n", entry,
                    DisplayText(request.files[0]).c_str(), DisplayValue(one).c_str(),
                    DisplayText(request.files[1]).c_str(), DisplayValue(other).c_str());
    }
    if (differences.empty()) console.Say("the two tables put the same 32 values in a panel");
    const int code = differences.empty() ? kExitSuccess : kExitDifferent;
    json["differences"] = std::move(differences);
    return code;
}

// A port that stands for a network port: its protocol, host and TCP port; else null.
Json NetworkJson(const std::optional<NetworkPort>& network) {
    if (!network) return nullptr;
    return {{"protocol", network->protocol == NetProtocol::Rfc2217 ? "rfc2217" : "tcp"},
            {"host", network->host},
            {"port", network->port}};
}

int Ports(const Request& request, CStopRequest& stop, CConsole& console, Json& json) {
    if (request.watch) {
        json["watch"] = true;
        return WatchPorts(request.json, stop, console);
    }
    json["ports"] = Json::array();
    json["devices"] = Json::array();
    for (int number = kFirstComPort; number <= kLastComPort; ++number) {
        const std::string name = ComPortName(number);
        const PortDescription port = DescribePort(name);
        const std::optional<NetworkPort> network = ParseNetworkPortName(port.device);
        json["ports"].push_back(
            {{"name", name},
             {"chain", port.chain},
             {"place", port.place},
             {"device", port.device},
             {"network", NetworkJson(network)},
             {"usable", port.problem.empty()},
             {"problem", port.problem.empty() ? Json(nullptr) : Json(port.problem)}});
        if (!request.json) {
            std::printf("%s\n", port.chain.c_str());
            if (network) {
                std::printf("    network port: %s, host %s, TCP port %u\n",
                            std::string(network->ProtocolName()).c_str(), network->host.c_str(),
                            static_cast<unsigned>(network->port));
            }
            if (!port.problem.empty()) std::printf("    %s\n", port.problem.c_str());
        }
    }
    const std::vector<SerialDevice> devices = ListSerialDevices();
    if (!request.json) std::printf("\nSerial devices found:%s\n", devices.empty() ? " none" : "");
    for (const SerialDevice& device : devices) {
        json["devices"].push_back({{"path", device.path},
                                   {"stable", device.stable},
                                   {"driver", device.driver},
                                   {"usb", device.usb}});
        if (request.json) continue;
        std::printf("  %s", device.path.c_str());
        if (!device.driver.empty()) std::printf("  driver %s", device.driver.c_str());
        if (!device.usb.empty()) std::printf("  USB %s", device.usb.c_str());
        if (!device.stable.empty()) std::printf("\n      %s", device.stable.c_str());
        std::printf("\n");
    }
    return kExitSuccess;
}

int Map(const Request& request, CConsole& console, Json& json) {
    json["com"] = request.com;
    if (request.command == Command::Map) json["device"] = request.device;
    const MapEdit edit = request.command == Command::Map ? AddToUserMap(request.com, request.device)
                                                         : RemoveFromUserMap(request.com);
    if (!edit.error.empty()) return UsageError(console, json, edit.error);
    json["entry"] = edit.entry;
    if (request.command == Command::Map) {
        json["target"] = edit.target;
        console.Say(request.com + " → " + edit.target + " (" + edit.entry + ")");
    } else if (edit.note.empty()) {
        console.Say(request.com + " removed from your map (" + edit.entry + ")");
    }
    json["note"] = edit.note.empty() ? Json(nullptr) : Json(edit.note);
    if (!edit.note.empty()) console.Say(edit.note);
    return kExitSuccess;
}

const char* CommandName(Command command) {
    switch (command) {
        case Command::Read:
            return "read";
        case Command::Write:
            return "write";
        case Command::Verify:
            return "verify";
        case Command::Station:
            return "station";
        case Command::Diff:
            return "diff";
        case Command::Ports:
            return "ports";
        case Command::Map:
            return "map";
        case Command::Unmap:
            return "unmap";
    }
    return "";
}

// The end of every run: the exit code, raised when output was lost, and with --json the
// one object, last, so that its "exit" is the code the run ends with; on one line where
// the run printed JSON Lines before it.
int Finish(bool asJson, Json& json, int code, bool oneLine = false) {
    if (OutputLost()) code = std::max<int>(code, kExitOutputLost);
    if (!json.contains("error")) json["error"] = nullptr;
    json["exit"] = code;
    if (asJson && oneLine) {
        std::printf("%s\n", json.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
    } else if (asJson) {
        PrintJson(json);
    }
    if (OutputLost()) code = std::max<int>(code, kExitOutputLost);
    return code;
}

}  // namespace

int Report(const Parsed& parsed) {
    Json json = Json::object();
    if (parsed.exitCode == kExitSuccess) {
        json["text"] = parsed.text;
        if (!parsed.json) std::fputs(parsed.text.c_str(), stdout);
    } else {
        json["error"] = parsed.text;
        std::fprintf(stderr, "keltrove-cli: %s\nTry 'keltrove-cli --help'.\n",
                     DisplayText(parsed.text).c_str());
    }
    return Finish(parsed.json, json, parsed.exitCode);
}

int Run(const Request& request, CStopRequest& stop) {
    CConsole console(request.trace, StderrIsTerminal());
    Json json{{"command", CommandName(request.command)}};
    int code = kExitSuccess;
    switch (request.command) {
        case Command::Read:
            code = Read(request, stop, console, json);
            break;
        case Command::Write:
            code = Write(request, stop, console, json);
            break;
        case Command::Verify:
            code = Verify(request, stop, console, json);
            break;
        case Command::Station:
            // Ctrl+C is how a station usually ends: the panels' results make the code.
            return Finish(request.json, json, Station(request, stop, console, json), true);
        case Command::Diff:
            return Finish(request.json, json, Diff(request, console, json));
        case Command::Ports:
            return Finish(request.json, json, Ports(request, stop, console, json), request.watch);
        case Command::Map:
        case Command::Unmap:
            return Finish(request.json, json, Map(request, console, json));
    }
    if (stop.Requested()) {
        code = kExitStopped;
        if (json["error"].is_null()) json["error"] = "stopped by a signal";
    }
    return Finish(request.json, json, code);
}

}  // namespace keltrove::cli
