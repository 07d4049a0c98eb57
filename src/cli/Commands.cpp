#include "Commands.h"

#include <algorithm>
#include <ctime>
#include <nlohmann/json.hpp>
#include <thread>

#include "ComNames.h"
#include "Console.h"
#include "FileIo.h"
#include "Frame.h"
#include "PortDescription.h"
#include "PortJob.h"
#include "SerialDevices.h"
#include "StopRequest.h"
#include "TableFile.h"
#include "TableFiles.h"
#include "Terminal.h"
#include "UserPortMap.h"

namespace keltrove::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kReadSteps = 1 + kEntryCount;   // the request, then 32 reports
constexpr int kWriteSteps = 2 + kEntryCount;  // begin, 32 entries, end

// A value as text for a person or for JSON: Latin-1 to UTF-8, control bytes as \xHH.
std::string ShowValue(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
            text += EscapeForMessage(std::string_view(&c, 1));
        } else if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// "COM1", or a device path as a file name: /dev/ttyUSB0 becomes ttyUSB0.
std::string PortForFileName(const std::string& port) {
    std::string name = port.starts_with("/dev/") ? port.substr(5) : port;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return name;
}

std::string OutputFor(const std::string& pattern, const std::string& port) {
    std::string path = pattern;
    for (std::size_t at; (at = path.find("{port}")) != std::string::npos;) {
        path.replace(at, 6, PortForFileName(port));
    }
    return path;
}

std::uint16_t PortId(const std::string& port, std::size_t index) {
    const int number = ComNumber(port);
    return static_cast<std::uint16_t>(number != 0 ? number : 100 + index);
}

// Runs `work` on every port at once, one thread each.
std::vector<JobResult> RunOnEveryPort(const Request& request, CStopRequest& stop,
                                      CConsole& console, int steps, const std::string& what,
                                      const std::function<JobResult(CPortJob&)>& work) {
    console.Begin(request.ports, steps, what);
    std::vector<JobResult> results(request.ports.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
        threads.emplace_back([&, i] {
            CPortJob job(request.ports[i], PortId(request.ports[i], i), stop, &console);
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

Json EntriesJson(const EntryTexts& table) {
    Json entries = Json::array();
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        entries.push_back(
            {{"entry", entry}, {"value", ShowValue(table[static_cast<std::size_t>(entry - 1)])}});
    }
    return entries;
}

Json ResultJson(const JobResult& result) {
    Json json{{"port", result.port},
              {"device", result.device},
              {"exit", result.code},
              {"error", result.error.empty() ? Json(nullptr) : Json(result.error)}};
    return json;
}

Json DifferencesJson(const std::vector<Difference>& differences, const char* first,
                     const char* second) {
    Json list = Json::array();
    for (const Difference& difference : differences) {
        list.push_back({{"entry", difference.entry},
                        {first, ShowValue(difference.panel)},
                        {second, ShowValue(difference.file)}});
    }
    return list;
}

void PrintJson(const Json& json) {
    std::printf("%s\n", json.dump(2).c_str());
}

// One line per port: its error, or `ok` with what was done.
void Summarize(CConsole& console, const std::vector<JobResult>& results, const std::string& ok) {
    for (const JobResult& result : results) {
        if (result.code == kExitDifferent) continue;  // its differences have been said
        console.Say(result.error.empty() ? result.port + ": " + ok : result.error);
    }
}

void SayDifferences(CConsole& console, const JobResult& result) {
    for (const Difference& difference : result.differences) {
        console.Say(result.port + ": entry " + std::to_string(difference.entry) +
                    ": the panel holds \"" + ShowValue(difference.panel) +
                    "\", the file would write \"" + ShowValue(difference.file) + "\"");
    }
}

std::optional<EntryTexts> LoadOrSay(const std::string& path, CConsole& console) {
    TableLoad load = LoadTable(path);
    for (const std::string& problem : load.problems) console.Say(problem);
    if (!load.table) console.Say(path + ": nothing was sent; correct the file and try again");
    return load.table;
}

int Read(const Request& request, CStopRequest& stop, CConsole& console) {
    const bool several = request.ports.size() > 1;
    if (several && request.output.find("{port}") == std::string::npos) {
        console.Say("keltrove-cli: with several ports, -o must name a file with {port} in it, "
                    "such as -o panel-{port}.txt");
        return kExitUsage;
    }
    std::vector<JobResult> results = RunOnEveryPort(
        request, stop, console, kReadSteps, "reading", [](CPortJob& job) { return job.Read(); });
    Json json{{"command", "read"}, {"ports", Json::array()}};
    for (JobResult& result : results) {
        Json entry = ResultJson(result);
        if (result.panel) {
            const std::string where = result.device.empty() || result.device == result.port
                                          ? result.port
                                          : result.port + " (" + result.device + ")";
            const std::string text =
                FormatTableFile(*result.panel, std::vector<std::string>{"read from " + where +
                                                                        " at " + Now()});
            if (request.output.empty()) {
                if (!request.json) std::fputs(text.c_str(), stdout);
                entry["entries"] = EntriesJson(*result.panel);
            } else {
                const std::string path = OutputFor(request.output, result.port);
                if (std::string failed = ReplaceFile(path, text); !failed.empty()) {
                    result.code = kExitUsage;
                    result.error = failed + "; the table read from " + result.port +
                                   " was not saved";
                    entry = ResultJson(result);
                } else {
                    entry["file"] = path;
                }
            }
        }
        json["ports"].push_back(entry);
    }
    const int code = Worst(results);
    json["exit"] = code;
    if (request.json) PrintJson(json);
    if (several || code != kExitSuccess) Summarize(console, results, "read, all 32 entries");
    return code;
}

int Write(const Request& request, CStopRequest& stop, CConsole& console) {
    const std::optional<EntryTexts> table = LoadOrSay(request.file, console);
    if (!table) return kExitUsage;
    const int steps = kWriteSteps + (request.verify ? kReadSteps : 0);
    const std::vector<JobResult> results =
        RunOnEveryPort(request, stop, console, steps, "writing", [&](CPortJob& job) {
            return job.Write(*table, request.verify);
        });
    Json json{{"command", "write"}, {"verify", request.verify}, {"ports", Json::array()}};
    for (const JobResult& result : results) {
        Json entry = ResultJson(result);
        if (request.verify && result.panel) {
            entry["differences"] = DifferencesJson(result.differences, "panel", "file");
        }
        json["ports"].push_back(entry);
        if (!request.json) SayDifferences(console, result);
    }
    const int code = Worst(results);
    json["exit"] = code;
    if (request.json) PrintJson(json);
    Summarize(console, results,
              request.verify ? "written, and all 32 entries read back as written" : "written");
    return code;
}

int Verify(const Request& request, CStopRequest& stop, CConsole& console) {
    const std::optional<EntryTexts> table = LoadOrSay(request.file, console);
    if (!table) return kExitUsage;
    const std::vector<JobResult> results = RunOnEveryPort(
        request, stop, console, kReadSteps, "reading", [&](CPortJob& job) { return job.Verify(*table); });
    Json json{{"command", "verify"}, {"ports", Json::array()}};
    for (const JobResult& result : results) {
        Json entry = ResultJson(result);
        if (result.panel) entry["differences"] = DifferencesJson(result.differences, "panel", "file");
        json["ports"].push_back(entry);
        if (!request.json) SayDifferences(console, result);
    }
    const int code = Worst(results);
    json["exit"] = code;
    if (request.json) PrintJson(json);
    for (const JobResult& result : results) {
        if (result.code == kExitDifferent) {
            console.Say(result.port + ": " + std::to_string(result.differences.size()) + " of 32 "
                        "entries differ from " + request.file);
        }
    }
    Summarize(console, results, "all 32 entries match " + request.file);
    return code;
}

int Diff(const Request& request, CConsole& console) {
    const std::optional<EntryTexts> first = LoadOrSay(request.files[0], console);
    const std::optional<EntryTexts> second = LoadOrSay(request.files[1], console);
    if (!first || !second) return kExitUsage;
    // Both as they go on the wire: "12" and "0012" put the same bytes in the panel.
    EntryTexts aligned;
    for (std::size_t i = 0; i < aligned.size(); ++i) {
        const FrameValue wire = AlignValue((*first)[i]);
        aligned[i].assign(wire.begin(), wire.end());
    }
    const std::vector<Difference> differences = Compare(aligned, *second);
    if (request.json) {
        PrintJson({{"command", "diff"},
                   {"files", request.files},
                   {"differences", DifferencesJson(differences, "first", "second")},
                   {"exit", differences.empty() ? kExitSuccess : kExitDifferent}});
    } else {
        for (const Difference& difference : differences) {
            std::printf("entry %d: %s \"%s\", %s \"%s\"\n", difference.entry,
                        request.files[0].c_str(), ShowValue(difference.panel).c_str(),
                        request.files[1].c_str(), ShowValue(difference.file).c_str());
        }
        if (differences.empty()) console.Say("the two tables put the same 32 values in a panel");
    }
    return differences.empty() ? kExitSuccess : kExitDifferent;
}

int Ports(const Request& request) {
    Json json{{"ports", Json::array()}, {"devices", Json::array()}};
    for (int number = kFirstComPort; number <= kLastComPort; ++number) {
        const std::string name = ComPortName(number);
        const PortDescription port = DescribePort(name);
        json["ports"].push_back({{"name", name},
                                 {"chain", port.chain},
                                 {"place", port.place},
                                 {"device", port.device},
                                 {"usable", port.problem.empty()},
                                 {"problem", port.problem.empty() ? Json(nullptr)
                                                                  : Json(port.problem)}});
        if (!request.json) {
            std::printf("%s\n", port.chain.c_str());
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
    if (request.json) PrintJson(json);
    return kExitSuccess;
}

int Map(const Request& request, CConsole& console) {
    const MapEdit edit = request.command == Command::Map
                             ? AddToUserMap(request.com, request.device)
                             : RemoveFromUserMap(request.com);
    if (!edit.error.empty()) {
        console.Say("keltrove-cli: " + edit.error);
        return kExitUsage;
    }
    if (request.command == Command::Map) {
        console.Say(request.com + " → " + edit.target + " (" + edit.entry + ")");
    } else if (edit.note.empty()) {
        console.Say(request.com + " removed from your map (" + edit.entry + ")");
    }
    if (!edit.note.empty()) console.Say(edit.note);
    return kExitSuccess;
}

}  // namespace

int Run(const Request& request, CStopRequest& stop) {
    CConsole console(request.trace, StderrIsTerminal());
    int code = kExitSuccess;
    switch (request.command) {
        case Command::Read:
            code = Read(request, stop, console);
            break;
        case Command::Write:
            code = Write(request, stop, console);
            break;
        case Command::Verify:
            code = Verify(request, stop, console);
            break;
        case Command::Diff:
            return Diff(request, console);
        case Command::Ports:
            return Ports(request);
        case Command::Map:
        case Command::Unmap:
            return Map(request, console);
    }
    return stop.Requested() ? kExitStopped : code;
}

}  // namespace keltrove::cli
