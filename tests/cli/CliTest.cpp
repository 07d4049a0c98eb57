// keltrove-cli end to end: the real program, the real serial code and the real simulator,
// judged by exit codes, output and what the simulator saw on the line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "DeviceTable.h"
#include "FakeServer.h"
#include "Frame.h"
#include "PipedProgram.h"
#include "PortDir.h"
#include "ProgramRun.h"
#include "Ser2Net.h"
#include "Sha256.h"
#include "SimulatorProcess.h"
#include "TableFile.h"
#include "TestIo.h"

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

std::string DefaultTableFile() {
    return FormatTableFile(device::DefaultTableTexts());
}

// The simulator's table with entry 5 changed to "77", as a file.
std::string ChangedTableFile() {
    std::string text = DefaultTableFile();
    return text.replace(text.find("\n5 0105\n"), 8, "\n5 77\n");
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// keltrove-cli, read line by line as it writes.
CPipedProgram PipedCli(std::vector<std::string> args, const fs::path& out = {}) {
    args.insert(args.begin(), KELTROVE_CLI_BINARY);
    return CPipedProgram(std::move(args), out);
}

class CliTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& device : m_Devices) EXPECT_EQ(device->Stop(), 0) << device->Log();
        m_Devices.clear();
        EXPECT_EQ(m_PortDir.LockFiles(), 0) << "a lock file was left behind";
    }

    // keltrove-device as `com` with `options`; the pty it serves on.
    CSimulatorProcess& Device(const std::string& com, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--as", com});
        const std::string log = (m_Dir / (com + ".log")).string();
        m_Devices.push_back(std::make_unique<CSimulatorProcess>(std::move(options), log));
        EXPECT_FALSE(m_Devices.back()->WaitPlugged().empty());
        return *m_Devices.back();
    }

    // `mapsToo`: without $KELTROVE_PORT_DIR, which is the only map while set, so that the
    // user's map is looked at.
    Outcome Cli(const std::vector<std::string>& args, bool mapsToo = false) {
        std::vector<std::string> all{KELTROVE_CLI_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(
            std::move(all), m_Dir.string(),
            mapsToo ? std::vector<std::string>{"KELTROVE_PORT_DIR="} : std::vector<std::string>{});
    }

    // Stores `values` in the simulated panel of `com` byte for byte, as no write of
    // Keltrove would (it aligns them); its answer to a read sent behind them shows them kept.
    void Seed(const std::string& com, const EntryTexts& values) {
        const std::string pty = fs::read_symlink(m_Dir / "map" / com).string();
        const int fd = ::open(pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0) << pty;
        std::string bytes;
        Frame frame = kInitialFrame;
        const auto add = [&] { bytes.append(frame.begin(), frame.end()); };
        SetCommandFrame(frame, Command::WriteBegin);
        add();
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            const std::string& value = values[static_cast<std::size_t>(entry - 1)];
            FrameValue wire{};
            std::copy(value.begin(), value.begin() + kValueSize, wire.begin());
            SetEntryFrame(frame, Command::WriteEntry, static_cast<std::uint8_t>(entry), wire);
            add();
        }
        SetCommandFrame(frame, Command::WriteEnd);
        add();
        SetCommandFrame(frame, Command::ReadRequest);
        add();
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        const std::string answer = ReadBytes(fd, kEntryCount * kFrameSize);
        ::close(fd);
        EXPECT_THAT(answer, HasSubstr(values[kEntryCount - 1]));
    }

    std::string File(const std::string& name, const std::string& text) {
        const fs::path path = m_Dir / name;
        std::ofstream(path) << text;
        return path.string();
    }

    CPortDir m_PortDir;
    const fs::path m_Dir = m_PortDir.Root();
    std::vector<std::unique_ptr<CSimulatorProcess>> m_Devices;
};

TEST_F(CliTest, ReadBringsTheWholeTableInEveryAnswerMode) {
    // 300 ms between reports is slow, but each brings a new entry.
    const std::vector<std::vector<std::string>> modes{{},
                                                      {"--burst"},
                                                      {"--split", "--seed", "7"},
                                                      {"--noise", "--split", "--seed", "11"},
                                                      {"--reply-gap", "300"}};
    for (const auto& mode : modes) {
        CSimulatorProcess& device = Device("COM1", mode);
        const Outcome run = Cli({"read", "-p", "com1"});
        EXPECT_EQ(run.code, 0) << run.err;
        const TableParse table = ParseTableFile(run.out);
        ASSERT_TRUE(table.table) << run.out;
        EXPECT_EQ(FormatTableFile(*table.table), DefaultTableFile());
        EXPECT_THAT(run.out, HasSubstr("# read from COM1 (/dev/pts/"));
        EXPECT_EQ(device.Stop(), 0);
        m_Devices.clear();
    }
}

TEST_F(CliTest, WriteConfirmsAndVerifyCatchesAChange) {
    CSimulatorProcess& device = Device("COM1");
    std::string text = ChangedTableFile();
    const std::string table = File("table.txt", text);
    Outcome run = Cli({"write", "-p", "COM1", table});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(device.Log(), HasSubstr("write end: 32 entries stored"));
    EXPECT_THAT(run.err, HasSubstr("COM1: written, and all 32 entries read back as written"));

    // A panel that holds the table already gets the read request and nothing more.
    run = Cli({"--trace", "write", "-p", "COM1", "--if-changed", table});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("COM1: already holds the table; nothing was written"));
    EXPECT_EQ(Count(run.err, " COM1 tx "), 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(" COM1 tx 01 40 "));

    const std::string changed = File("changed.txt", DefaultTableFile());
    run = Cli({"--json", "verify", "-p", "COM1", changed});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\"entry\": 5,\n          \"panel\": \"0077\",\n"
                                   "          \"file\": \"0105\""));
    run = Cli({"diff", table, changed});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.out, HasSubstr("entry 5: "));
    text.replace(text.find("\n5 77\n"), 6, "\n5 0077\n");
    EXPECT_EQ(Cli({"diff", table, File("aligned.txt", text)}).code, 0);  // the same in a panel
}

// What a write cannot put back as it stands is said, and kept in the backup as a comment;
// the backup written back then verifies clean.
TEST_F(CliTest, ABackupKeepsWhatAWriteCannotPutBack) {
    Device("COM1");
    EntryTexts panel = device::DefaultTableTexts();
    panel[1] = std::string(4, '\0');
    panel[4] = "12  ";
    Seed("COM1", panel);
    const std::string backup = (m_Dir / "backup.txt").string();
    Outcome run =
        Cli({"write", "-p", "COM1", "--backup", backup, File("table.txt", DefaultTableFile())});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string note = "entry 5 holds \"12  \", which a write would store as \"0012\"";
    EXPECT_THAT(run.err, HasSubstr("COM1: " + note));
    const std::string saved = FileText(backup);
    EXPECT_THAT(saved, HasSubstr("\n# " + note + "\n"));
    EXPECT_THAT(saved, HasSubstr("\n2 \\x00\\x00\\x00\\x00\n"));
    EXPECT_THAT(saved, HasSubstr("\n5 12  \n"));
    run = Cli({"write", "-p", "COM1", backup});
    EXPECT_EQ(run.code, 0) << run.err;
}

// Each failure, said on standard error and, with --json, as one object with its exit code.
// The panel echoes each entry frame and never answers a read: the echoes confirm no write.
TEST_F(CliTest, EachFailureHasItsExitCodeAndSaysWhy) {
    CSimulatorProcess& device = Device("COM1", {"--silent", "--echo-writes"});
    const std::string saved = File("saved.txt", "# an earlier backup\n");
    fs::create_symlink(m_Dir / "gone", m_Dir / "map/COM7");
    std::string lines;
    for (int entry = 1; entry <= 7; ++entry) lines += std::to_string(entry) + " 12345\n";
    const std::string bad = File("bad.txt", lines);  // 8 problems: 7 values, and entries missing
    const std::string table = File("table.txt", DefaultTableFile());
    const std::string backup = (m_Dir / "backup.txt").string();
    // Names of the table file being written, and a second name of COM1's device.
    fs::create_symlink(table, m_Dir / "link.txt");
    fs::create_hard_link(table, m_Dir / "hard.txt");
    const std::string pty = fs::read_symlink(m_Dir / "map/COM1").string();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"read", "-p", "COM1", "-o", saved},
         4,
         "): no report within 0.25 s (DERID Not Connected)"},
        {{"read", "-p", "COM7"}, 3, "is a broken link"},
        {{"write", "-p", "COM1", bad}, 2, "bad.txt:2: entry 2: the value \"12345\" is longer"},
        {{"verify", "-p", "COM1", bad}, 2, "... and 3 more\n" + bad + ": correct the file"},
        {{"read", "-p", "COM1", "-p", "COM7"}, 2, "-o must name a file with {port}"},
        {{"read", "-p", "com1", "-p", "COM1"}, 2, "the port COM1 is given twice"},
        {{"read", "-p", "COM1", "-o", ""}, 2, "--output: needs a file name"},
        {{"read", "-p", "COM1", "-o", "/dev/stdout"}, 2, "-o /dev/stdout: is an open descriptor"},
        {{"read"}, 2, "--port is required"},
        {{"write", "-p", "COM1", "--backup", backup, table},
         4,
         "the read before the write failed: no report within 0.25 s"},
        {{"write", "-p", "COM1", "--backup", table, table}, 2, "is the table file being written"},
        {{"write", "-p", "COM1", "--backup", (m_Dir / "link.txt").string(), table},
         2,
         "link.txt is the same file as " + table + ", the table file being written"},
        {{"write", "-p", "COM1", "--backup", (m_Dir / "hard.txt").string(), table},
         2,
         "hard.txt is the same file as " + table},
        {{"verify", "-p", "COM1", "-p", pty, table},
         2,
         "-p COM1 and -p " + pty + " name one device (" + pty + "); give it once"},
        {{"write", "-p", "COM1", table},
         4,
         "): the table was sent, but the panel did not answer the read-back (no report within "
         "0.25 s), so nothing confirms that the panel took it"},
    };
    for (const Case& failure : cases) {
        Outcome run = Cli(failure.args);
        EXPECT_EQ(run.code, failure.code) << failure.says << "\n" << run.err;
        EXPECT_THAT(run.err, HasSubstr(failure.says));
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), failure.args.begin(), failure.args.end());
        run = Cli(args);
        const auto json = nlohmann::json::parse(run.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << run.out;
        EXPECT_EQ(json["exit"], failure.code);
        EXPECT_TRUE(json["error"].is_string() || json.contains("problems")) << run.out;
    }
    EXPECT_EQ(FileText(saved), "# an earlier backup\n");  // a failed read leaves it whole
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(FileText(table), DefaultTableFile());  // no backup went onto it
    // Only the two plain writes sent anything: a bad file, a failed backup or a backup onto
    // the table sends nothing.
    EXPECT_EQ(Count(device.Log(), "write begin"), 2);
    const Outcome run = Cli({"write", "-p", "COM1", "--no-verify", table});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("COM1: sent, not confirmed"));
}

// A write runs to its end or says where it stopped, and leaves no lock behind.
TEST_F(CliTest, AWriteEndsInOrderWhateverHappensMidWay) {
    CSimulatorProcess& device = Device("COM1", {"--hangup-after", "3"});
    const std::string table = File("table.txt", DefaultTableFile());
    const Outcome run = Cli({"write", "-p", "COM1", table});
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr("the write did not finish"));
    ASSERT_FALSE(device.WaitPlugged().empty());  // a new line, which stays

    {  // the reader of standard error goes away, as `2>&1 | head -3` does
        CPipedProgram cli = PipedCli({"--trace", "write", "-p", "COM1", table}, m_Dir / "out");
        for (int line = 0; line < 3; ++line) EXPECT_FALSE(cli.Line().empty());
        cli.Close(CPipedProgram::Err);
        EXPECT_EQ(cli.Wait(), 5);
        EXPECT_THAT(device.Log(), HasSubstr("write end: 32 entries stored"));
    }
    CPipedProgram cli =
        PipedCli({"--json", "--trace", "write", "-p", "COM1", table}, m_Dir / "out");
    for (std::string line = cli.Line();
         !line.empty() && !line.ends_with("tx 01 30 05 30 31 30 35 03"); line = cli.Line()) {
    }
    ::kill(cli.Pid(), SIGINT);
    std::string rest;
    EXPECT_EQ(cli.Wait(&rest), 130);
    const std::string stopped =
        "stopped after entry [0-9]+ of 32: the panel may hold part of the table; write it again";
    EXPECT_THAT(rest, ContainsRegex(stopped));
    const auto json = nlohmann::json::parse(FileText(m_Dir / "out"), nullptr, false);
    EXPECT_EQ(json["exit"], 130);
    EXPECT_THAT(json["error"].dump(), ContainsRegex(stopped));
    EXPECT_EQ(Count(device.Log(), "write end: 32 entries stored"), 1);
}

TEST_F(CliTest, SeveralPortsAreServedSideBySide) {
    CSimulatorProcess& first = Device("COM1");
    CSimulatorProcess& second = Device("COM2");
    const std::string table = File("table.txt", DefaultTableFile());
    Outcome run = Cli({"write", "-p", "COM1", "-p", "COM2", table, "--verify"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(first.Log(), HasSubstr("write end: 32 entries stored"));
    EXPECT_THAT(second.Log(), HasSubstr("write end: 32 entries stored"));
    EXPECT_THAT(run.err, HasSubstr("COM2: written, and all 32 entries read back as written"));

    run = Cli({"read", "-p", "COM1", "-p", "COM2", "-o", (m_Dir / "backup-{port}.txt").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(ParseTableFile(FileText(m_Dir / "backup-COM2.txt")).table);
}

// `map` writes the user's own map, which lasts; `ports` says where each mapping came from.
TEST_F(CliTest, MapWritesALastingMapThatReadsUse) {
    CSimulatorProcess& device = Device("COM1");
    const std::string pty = fs::read_symlink(m_Dir / "map/COM1").string();
    Outcome run = Cli({"map", "COM4", pty});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(fs::read_symlink(m_Dir / "config/keltrove/ports/COM4"), pty);
    run = Cli({"ports"}, true);
    EXPECT_THAT(run.out, HasSubstr("COM4 → " + (m_Dir / "config/keltrove/ports/COM4").string() +
                                   " → " + pty + " (your map)"));
    run = Cli({"read", "-p", "COM4"}, true);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(device.Log(), HasSubstr("read request"));
    EXPECT_EQ(Cli({"unmap", "COM4"}).code, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir / "config/keltrove/ports/COM4")));
}

// COM2 to COM4 in these: no /dev/ttyS1 to ttyS3 stands behind them, so a port that is not
// in the tests' map is missing, never a real one.

// --wait: a port that comes while the command waits is used; one that does not is exit 3.
TEST_F(CliTest, WaitTakesAPortThatComesAndGivesUpOnOneThatDoesNot) {
    {
        CPipedProgram cli = PipedCli({"read", "-p", "COM3", "--wait", "10"}, m_Dir / "out");
        EXPECT_THAT(cli.Line(), HasSubstr("COM3: waiting up to 10 s for the port to open"));
        Device("COM3");
        EXPECT_EQ(cli.Wait(), 0);
        EXPECT_TRUE(ParseTableFile(FileText(m_Dir / "out")).table);
    }
    const Outcome run =
        Cli({"verify", "-p", "COM4", "--wait", "0.3", File("table.txt", DefaultTableFile())});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("it did not open within the 0.3 s of --wait"));
}

TEST_F(CliTest, PortsWatchSaysWhatAppearsAndGoes) {
    CPipedProgram cli = PipedCli({"--json", "ports", "--watch"});
    EXPECT_THAT(cli.Line(), HasSubstr("watching for serial devices"));
    Device("COM2");
    const std::string device = fs::read_symlink(m_Dir / "map/COM2").string();
    auto line = nlohmann::json::parse(cli.Line(CPipedProgram::Out), nullptr, false);
    EXPECT_EQ(line["event"], "appeared") << line;
    EXPECT_EQ(line["device"], device);
    EXPECT_EQ(line["com"], nlohmann::json::array({"COM2"}));
    EXPECT_EQ(m_Devices.back()->Stop(), 0);  // the simulator takes COM2 away
    m_Devices.clear();
    line = nlohmann::json::parse(cli.Line(CPipedProgram::Out), nullptr, false);
    EXPECT_EQ(line["event"], "gone") << line;
    EXPECT_EQ(line["device"], device);
    ::kill(cli.Pid(), SIGINT);
    line = nlohmann::json::parse(cli.Line(CPipedProgram::Out), nullptr, false);
    EXPECT_EQ(line["exit"], 0) << line;
    EXPECT_EQ(cli.Wait(), 0);
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(cli::Sha256Hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(cli::Sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits in the block, which takes a second one.
    EXPECT_EQ(cli::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(cli::Sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Three panels in turn behind one port: written, unchanged (nothing written to it), written;
// the log holds a whole line for each, also after the station is killed between panels.
TEST_F(CliTest, StationServesPanelsInTurnAndKeepsItsLog) {
    const std::string fifo = (m_Dir / "bench").string();
    std::string zeros;
    for (int entry = 1; entry <= kEntryCount; ++entry) zeros += std::to_string(entry) + " 0\n";
    const std::string text = ChangedTableFile();
    const std::string table = File("table.txt", text);
    CSimulatorProcess& device =
        Device("COM2", {"--control", fifo, "--table", File("zeros.txt", zeros)});
    const std::string log = (m_Dir / "station.jsonl").string();
    CPipedProgram cli = PipedCli({"--json", "station", "-p", "COM2", table, "--log", log});
    const auto next = [&](const std::string& panel) {  // the panel served goes, another comes
        EXPECT_THAT(cli.LineWith("COM2: waiting for the panel to be disconnected"), Not(""));
        std::ofstream(fifo) << "disconnect\n";
        EXPECT_THAT(cli.LineWith("COM2: waiting for a panel"), Not(""));
        std::ofstream(fifo) << "connect " << panel << "\n";
    };
    std::vector<nlohmann::json> lines;
    for (const std::string panel : {"", table.c_str(), "default"}) {
        if (!panel.empty()) next(panel);
        lines.push_back(nlohmann::json::parse(cli.Line(CPipedProgram::Out), nullptr, false));
    }
    ::kill(cli.Pid(), SIGKILL);
    EXPECT_EQ(cli.Wait(), -1);
    fs::remove_all(m_Dir / "locks");  // a killed program leaves its lock, as it must
    fs::create_directory(m_Dir / "locks");

    std::istringstream logged(FileText(log));
    std::size_t count = 0;
    for (std::string line; std::getline(logged, line); ++count) {
        ASSERT_LT(count, lines.size()) << line;
        EXPECT_EQ(nlohmann::json::parse(line, nullptr, false), lines[count]);
    }
    EXPECT_EQ(count, 3U);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["result"], i == 1 ? "unchanged" : "written") << lines[i];
        EXPECT_EQ(lines[i]["panel"], i + 1);
        EXPECT_EQ(lines[i]["port"], "COM2");
    }
    EXPECT_EQ(lines[0]["sha256_after"], lines[1]["sha256_before"]);
    EXPECT_EQ(lines[2]["sha256_before"], cli::Sha256Hex(DefaultTableFile()));
    const std::string frames = device.Log();
    const std::size_t from = frames.find("panel 2 connected");
    const std::string second = frames.substr(from, frames.find("panel 3 connected") - from);
    EXPECT_THAT(second, Not(HasSubstr("write begin")));
    EXPECT_THAT(second, HasSubstr("panel 2 disconnected (writes stored: 0)"));
}

// A panel that does not take the table fails, and the station ends with exit 4; two ports
// are served side by side, and --count ends the station.
TEST_F(CliTest, StationFailsAPanelThatDoesNotConfirmBesideOneThatDoes) {
    Device("COM3", {"--ignore-writes"});
    Device("COM4");
    const Outcome run = Cli({"station", "-p", "COM3", "-p", "COM4",
                             File("table.txt", ChangedTableFile()), "--count", "2"});
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.out, HasSubstr("COM3  failed: the table was sent, but the read-back differs "
                                   "from " +
                                   (m_Dir / "table.txt").string() +
                                   " in 1 of 32 entries (entry 5: the panel holds \"0105\""));
    EXPECT_THAT(run.out, HasSubstr("COM4  written and confirmed"));
    EXPECT_THAT(run.out, HasSubstr("2 panels served: 1 written, 0 unchanged, 1 failed\n"));
}

// Ctrl+C during a write ends it at a frame boundary, and the summary follows.
TEST_F(CliTest, StationStopsAtAFrameOnCtrlC) {
    CSimulatorProcess& device = Device("COM2");
    CPipedProgram cli =
        PipedCli({"--trace", "station", "-p", "COM2", File("table.txt", ChangedTableFile())});
    EXPECT_THAT(cli.LineWith("COM2 tx 01 30 05 30 30 37 37 03"), Not(""));
    ::kill(cli.Pid(), SIGINT);
    EXPECT_THAT(cli.Line(CPipedProgram::Out),
                ContainsRegex("COM2  failed: stopped after entry [0-9]+ of 32: the panel may hold "
                              "part of the table; write it again  \\(1 served\\)"));
    EXPECT_EQ(cli.Line(CPipedProgram::Out), "1 panel served: 0 written, 0 unchanged, 1 failed");
    EXPECT_EQ(cli.Wait(), 4);
    EXPECT_THAT(device.Log(), Not(HasSubstr("write end")));
}

// keltrove → TCP → ser2net → pty → keltrove-device, through both kinds of accepter; a value
// holding ÿ (0xFF, Telnet's IAC) and CR must reach the panel and come back as it was.
TEST_F(CliTest, NetworkPortsReadWriteAndVerifyThroughSer2Net) {
    Device("COM1");
    Device("COM2");
    CSer2Net server((m_Dir / "map/COM1").string(), (m_Dir / "map/COM2").string(), m_Dir.string());
    std::string text = DefaultTableFile();
    text.replace(text.find("\n7 0107\n"), 8, "\n7 ÿ\\x0D1ÿ\n");
    const std::string table = File("table.txt", text);
    for (const std::string& port : {server.Rfc2217(), server.Raw()}) {
        Outcome run = Cli({"write", "-p", port, table});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_THAT(run.err,
                    HasSubstr(port + ": written, and all 32 entries read back as written"));
        EXPECT_EQ(Cli({"verify", "-p", port, table}).code, 0);
        run = Cli({"read", "-p", port, "-o", (m_Dir / "{port}.txt").string()});
        EXPECT_EQ(run.code, 0) << run.err;
        const std::string file = port.substr(0, port.find(':')) + "_127.0.0.1_" +
                                 port.substr(port.rfind(':') + 1) + ".txt";
        EXPECT_THAT(FileText(m_Dir / file), HasSubstr("\n7 ÿ\\x0D1ÿ\n"));
    }
    EXPECT_EQ(Cli({"verify", "-p", "COM1", table}).code, 0) << "the panel itself holds it";

    // COM3 mapped to the RFC 2217 port: one device with it, shown with host and port.
    EXPECT_EQ(Cli({"map", "COM3", server.Rfc2217()}).code, 0);
    EXPECT_EQ(fs::read_symlink(m_Dir / "config/keltrove/ports/COM3"), server.Rfc2217());
    const std::string tcpPort = server.Rfc2217().substr(server.Rfc2217().rfind(':') + 1);
    EXPECT_THAT(Cli({"ports"}, true).out,
                HasSubstr(" → " + server.Rfc2217() +
                          " (your map)\n    network port: RFC 2217, host 127.0.0.1, TCP port " +
                          tcpPort + "\n"));
    Outcome run = Cli({"read", "-p", "COM3"}, true);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("# read from COM3 (" + server.Rfc2217() + ") at "));
    run = Cli({"read", "-p", "COM3", "-p", "tcp://127.0.0.1:" + tcpPort, "-o", "{port}"}, true);
    EXPECT_EQ(run.code, 2);
    EXPECT_THAT(run.err, HasSubstr("name one device (127.0.0.1:" + tcpPort + ")"));
}

TEST_F(CliTest, NetworkPortFailuresHaveTheirExitCodes) {
    Device("COM1", {"--hangup-after", "8"});  // the panel's line goes behind the server
    CSer2Net server((m_Dir / "map/COM1").string(), (m_Dir / "map/COM1").string(), m_Dir.string());
    Outcome run = Cli({"write", "-p", server.Rfc2217(), File("table.txt", DefaultTableFile())});
    EXPECT_EQ(run.code, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr(server.Rfc2217() + ": the write did not finish: frame "));
    EXPECT_THAT(run.err, HasSubstr("; read the panel to see what it holds, then write again"));

    CFakeServer slow(4800);
    run = Cli({"read", "-p", slow.Url()});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("no flow control: it answered 4800 baud"));
    const std::string closed = std::to_string(FreeLocalPort());
    run = Cli({"read", "-p", "tcp://127.0.0.1:" + closed});
    EXPECT_EQ(run.code, 3) << run.err;
    EXPECT_THAT(run.err, HasSubstr("127.0.0.1 refused the connection on port " + closed));
    EXPECT_EQ(Cli({"read", "-p", "rfc2217://127.0.0.1"}).code, 2);
}

}  // namespace
}  // namespace keltrove::test
