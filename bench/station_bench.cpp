// bench_station: how soon a port that comes back is open again, and how fast the station
// serves panels.
//
//   1. A port that appears: the time from its link appearing in the port directory to the
//      port open, through the port watch and the open as `--wait` does them, with inotify
//      and with the one-second poll; then the whole `keltrove-cli --wait` process, from
//      the link to its read request on the wire.
//   2. The station, one port and a bench of panels connected one after another: from a
//      panel's connection to its first report (detection), and from that report to its
//      line on standard output (target: the read, the write and the read-back, 4.3 s, plus
//      0.1 s).
//   3. The station serving 8 ports side by side against 1 (target: at most 1.05 times).
// Every time here is read on the monotonic clock that --trace stamps its lines with.
// Usage: bench_station [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DeviceTable.h"
#include "PipedProgram.h"
#include "PortWatch.h"
#include "ProgramRun.h"
#include "SerialLink.h"
#include "SimulatorProcess.h"
#include "TableFile.h"


namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using keltrove::test::CPipedProgram;
using keltrove::test::CSimulatorProcess;

double SecondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double>(end - start).count();
}

// The monotonic seconds that a --trace line starts with.
double TraceTime(const std::string& line) {
    return std::strtod(line.c_str(), nullptr);
}

double Now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

struct Figures {
    std::vector<double> values;
    void Print(const char* what, const char* unit = "s") {
        std::sort(values.begin(), values.end());
        if (values.empty()) return;
        std::printf("  %-52s median %.3f %s (min %.3f, max %.3f, %zu runs)\n", what,
                    values[values.size() / 2], unit, values.front(), values.back(), values.size());
    }
};

// keltrove-cli, its output read line by line as it comes.
CPipedProgram PipedCli(std::vector<std::string> args) {
    args.insert(args.begin(), KELTROVE_CLI_BINARY);
    return CPipedProgram(std::move(args));
}

// 1. The port watch and the open, as --wait does them, from the link's appearance `delay`
// after the first open failed (a delay that varies, so that the poll's phase does too).
double WatchAndOpen(const fs::path& ports, const std::string& pty,
                    keltrove::CPortWatch::Method method, std::chrono::milliseconds delay) {
    keltrove::CPortWatch watch;
    if (!watch.Start("COM2", {}, method).empty()) std::exit(1);
    keltrove::CSerialLink link;
    if (link.Open("COM2", 9600, 2) != 0) std::exit(1);  // not there yet
    Clock::time_point linked;
    std::thread linker([&] {
        std::this_thread::sleep_for(delay);
        linked = Clock::now();
        fs::create_symlink(pty, ports / "COM2");
    });
    while (link.Open("COM2", 9600, 2) == 0) {
        watch.WaitForChange(Clock::now() + keltrove::CPortWatch::kPollPeriod);
    }
    const Clock::time_point opened = Clock::now();
    linker.join();
    link.Close();
    fs::remove(ports / "COM2");
    return SecondsSince(linked, opened);
}

// 1. The whole `keltrove-cli --wait`, from the link to its read request on the wire.
double CliWait(const fs::path& ports, const std::string& pty) {
    CPipedProgram cli = PipedCli({"--trace", "read", "-p", "COM2", "--wait", "30"});
    if (cli.LineWith("waiting up to").empty()) std::exit(1);
    const double linked = Now();
    fs::create_symlink(pty, ports / "COM2");
    const std::string request = cli.LineWith(" tx 01 40 ");
    if (request.empty() || cli.Wait() != 0) std::exit(1);
    fs::remove(ports / "COM2");
    return TraceTime(request) - linked;
}

// Seconds for a station over `ports` to serve one panel on each, as a whole process.
double StationRun(int ports, const std::string& table, const fs::path& dir) {
    std::vector<std::string> args{KELTROVE_CLI_BINARY, "station", table, "--count",
                                  std::to_string(ports)};
    for (int com = 1; com <= ports; ++com)
        args.insert(args.end(), {"-p", "COM" + std::to_string(com)});
    const Clock::time_point start = Clock::now();
    const keltrove::test::Outcome run = keltrove::test::RunProgram(args, dir.string());
    // The panels ignore writes (see below), so each fails its read-back: exit 4.
    const bool served =
        run.code == 4 && run.out.find(std::to_string(ports) + " panel") != std::string::npos;
    return served ? SecondsSince(start) : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char pattern[] = "/tmp/bench_station.XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    for (const char* sub : {"ports", "elsewhere", "locks", "config"})
        fs::create_directory(dir / sub);
    fs::permissions(dir / "ports", fs::perms::owner_all);
    fs::permissions(dir / "elsewhere", fs::perms::owner_all);
    ::setenv("KELTROVE_PORT_DIR", (dir / "ports").c_str(), 1);
    ::setenv("KELTROVE_LOCK_DIR", (dir / "locks").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    std::string text = keltrove::FormatTableFile(keltrove::device::DefaultTableTexts());
    text.replace(text.find("\n5 0105\n"), 8, "\n5 0077\n");
    const std::string table = (dir / "table.txt").string();
    std::ofstream(table) << text;

    std::printf("1. a port that appears, from its link to the port open (%d runs each)\n", runs);
    {
        // A simulator plugged in elsewhere; the bench links it as COM2 at a moment it knows.
        CSimulatorProcess device({"--port-dir", (dir / "elsewhere").string(), "--as", "COM2"},
                                 (dir / "device.log").string());
        const std::string pty = device.WaitPlugged();
        if (pty.empty()) return 1;
        Figures notify;
        Figures poll;
        Figures cli;
        for (int run = 0; run < runs; ++run) {
            const std::chrono::milliseconds delay(100 + run * 397 % 1000);
            notify.values.push_back(
                WatchAndOpen(dir / "ports", pty, keltrove::CPortWatch::Method::Notify, delay));
            poll.values.push_back(
                WatchAndOpen(dir / "ports", pty, keltrove::CPortWatch::Method::Poll, delay));
            cli.values.push_back(CliWait(dir / "ports", pty));
        }
        notify.Print("port watch (inotify) and open");
        poll.Print("port watch (poll once a second) and open");
        cli.Print("keltrove-cli read --wait, link to read request");
    }

    std::printf("2. the station, one port, %d panels in turn\n", runs);
    {
        const std::string fifo = (dir / "bench").string();
        CSimulatorProcess device({"--as", "COM1", "--control", fifo},
                                 (dir / "device.log").string());
        if (device.WaitPlugged().empty()) return 1;
        std::ofstream(fifo) << "disconnect\n";  // it starts with a panel; the bench connects them
        CPipedProgram station = PipedCli({"--trace", "--json", "station", "-p", "COM1", table});
        Figures detection;
        Figures served;
        for (int run = 0; run < runs; ++run) {
            if (station.LineWith("COM1: waiting for a panel").empty()) return 1;
            // At a varying moment between two of the station's requests.
            std::this_thread::sleep_for(std::chrono::milliseconds(run * 397 % 1000));
            const double connected = Now();
            std::ofstream(fifo) << "connect zeros\n";
            const std::string report = station.LineWith(" COM1 rx 01 50 ");
            if (report.empty() ||
                station.LineWith("\"result\":\"written\"", CPipedProgram::Out).empty()) {
                return 1;
            }
            const double line = Now();
            detection.values.push_back(TraceTime(report) - connected);
            served.values.push_back(line - TraceTime(report));
            std::ofstream(fifo) << "disconnect\n";
        }
        detection.Print("connection to the first report (target 1.1 s)");
        served.Print("first report to the line on screen (target 4.4 s)");
    }

    std::printf("3. the station, one panel on each of 1 and 8 ports (%d runs each)\n", runs);
    {
        std::vector<std::unique_ptr<CSimulatorProcess>> devices;
        for (int com = 1; com <= 8; ++com) {
            const std::string name = "COM" + std::to_string(com);
            devices.push_back(std::make_unique<CSimulatorProcess>(
                std::vector<std::string>{"--as", name, "--ignore-writes"},
                (dir / (name + ".log")).string()));
            if (devices.back()->WaitPlugged().empty()) return 1;
        }
        // --ignore-writes keeps each panel as it was, so that every run writes; the
        // read-back then differs and the panel fails, which takes as long as a success.
        Figures one;
        Figures eight;
        for (int run = 0; run < runs; ++run) {
            for (const int ports : {1, 8}) {
                const double seconds = StationRun(ports, table, dir);
                if (seconds < 0) return 1;
                (ports == 1 ? one : eight).values.push_back(seconds);
            }
        }
        one.Print("1 port");
        eight.Print("8 ports");
        std::printf("  ratio of the medians: %.3f (target: at most 1.05)\n",
                    eight.values[eight.values.size() / 2] / one.values[one.values.size() / 2]);
    }
    fs::remove_all(dir);
    return 0;
}
