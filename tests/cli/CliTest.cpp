// keltrove-cli end to end: the real program, the real serial code and the real simulator,
// judged by exit codes, output and what the simulator saw on the line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
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
#include "ProgramRun.h"
#include "Ser2Net.h"
#include "SimulatorProcess.h"
#include "TableFile.h"

extern char** environ;

namespace keltrove::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string DefaultTableFile() {
    return FormatTableFile(device::DefaultTableTexts());
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

bool Readable(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, kGuardMs) > 0;
}

// keltrove-cli with its standard error on a pipe that the test reads as it comes, and may
// close early, as `| head` does; standard output goes to `out`.
class CPipedCli {
public:
    CPipedCli(std::vector<std::string> args, const fs::path& out) {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        m_Err = fds[0];
        args.insert(args.begin(), KELTROVE_CLI_BINARY);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        EXPECT_EQ(::posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
    }
    ~CPipedCli() {
        if (m_Pid > 0) Wait();
        CloseErr();
    }

    pid_t Pid() const { return m_Pid; }

    // The next line of standard error, or "" at its end.
    std::string Line() {
        for (;;) {
            if (const auto end = m_strBuffered.find('\n'); end != std::string::npos) {
                std::string line = m_strBuffered.substr(0, end);
                m_strBuffered.erase(0, end + 1);
                return line;
            }
            char chunk[512];
            const ssize_t got = Readable(m_Err) ? ::read(m_Err, chunk, sizeof chunk) : -1;
            if (got <= 0) return std::exchange(m_strBuffered, {});
            m_strBuffered.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void CloseErr() {
        if (m_Err >= 0) ::close(std::exchange(m_Err, -1));
    }

    // What standard error still brings, then the exit code.
    int Wait(std::string* rest = nullptr) {
        for (std::string line; m_Err >= 0 && !(line = Line()).empty();) {
            if (rest != nullptr) *rest += line + "\n";
        }
        int status = 0;
        ::waitpid(std::exchange(m_Pid, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Err = -1;
    std::string m_strBuffered;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/keltrove-cli-XXXXXX";
        m_Dir = ::mkdtemp(pattern);
        for (const char* dir : {"ports", "locks", "config"}) fs::create_directory(m_Dir / dir);
        fs::permissions(m_Dir / "ports", fs::perms::owner_all);
        ::setenv("KELTROVE_PORT_DIR", (m_Dir / "ports").c_str(), 1);
        ::setenv("KELTROVE_LOCK_DIR", (m_Dir / "locks").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_Dir / "config").c_str(), 1);
    }
    void TearDown() override {
        for (auto& device : m_Devices) EXPECT_EQ(device->Stop(), 0) << device->Log();
        m_Devices.clear();
        EXPECT_TRUE(fs::is_empty(m_Dir / "locks")) << "a lock file was left behind";
        fs::remove_all(m_Dir);
    }

    // keltrove-device as `com` with `options`; the pty it serves on.
    CSimulatorProcess& Device(const std::string& com, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--as", com});
        const std::string log = (m_Dir / (com + ".log")).string();
        m_Devices.push_back(std::make_unique<CSimulatorProcess>(std::move(options), log));
        EXPECT_FALSE(m_Devices.back()->WaitPlugged().empty());
        return *m_Devices.back();
    }

    Outcome Cli(const std::vector<std::string>& args) {
        std::vector<std::string> all{KELTROVE_CLI_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(std::move(all), m_Dir.string());
    }

    // Stores `values` in the simulated panel of `com` byte for byte, as no write of
    // Keltrove would (it aligns them); its answer to a read sent behind them shows them kept.
    void Seed(const std::string& com, const EntryTexts& values) {
        const std::string pty = fs::read_symlink(m_Dir / "ports" / com).string();
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
        std::string answer;
        char chunk[256];
        for (ssize_t got = 0; answer.size() < kEntryCount * kFrameSize && Readable(fd) &&
                              (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
            answer.append(chunk, static_cast<std::size_t>(got));
        }
        ::close(fd);
        EXPECT_THAT(answer, HasSubstr(values[kEntryCount - 1]));
    }

    std::string File(const std::string& name, const std::string& text) {
        const fs::path path = m_Dir / name;
        std::ofstream(path) << text;
        return path.string();
    }

    fs::path m_Dir;
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
    std::string text = DefaultTableFile();
    text.replace(text.find("\n5 0105\n"), 8, "\n5 77\n");
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
    const std::string saved = ReadFile(backup);
    EXPECT_THAT(saved, HasSubstr("\n# " + note + "\n"));
    EXPECT_THAT(saved, HasSubstr("\n2 \\x00\\x00\\x00\\x00\n"));
    EXPECT_THAT(saved, HasSubstr("\n5 12  \n"));
    run = Cli({"write", "-p", "COM1", backup});
    EXPECT_EQ(run.code, 0) << run.err;
}

// Each failure, said on standard error and, with --json, as one object with its exit code.
TEST_F(CliTest, EachFailureHasItsExitCodeAndSaysWhy) {
    CSimulatorProcess& device = Device("COM1", {"--silent"});
    const std::string saved = File("saved.txt", "# an earlier backup\n");
    fs::create_symlink(m_Dir / "gone", m_Dir / "ports/COM7");
    std::string lines;
    for (int entry = 1; entry <= 7; ++entry) lines += std::to_string(entry) + " 12345\n";
    const std::string bad = File("bad.txt", lines);  // 8 problems: 7 values, and entries missing
    const std::string table = File("table.txt", DefaultTableFile());
    const std::string backup = (m_Dir / "backup.txt").string();
    // Names of the table file being written, and a second name of COM1's device.
    fs::create_symlink(table, m_Dir / "link.txt");
    fs::create_hard_link(table, m_Dir / "hard.txt");
    const std::string pty = fs::read_symlink(m_Dir / "ports/COM1").string();
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
    EXPECT_EQ(ReadFile(saved), "# an earlier backup\n");  // a failed read leaves it whole
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(ReadFile(table), DefaultTableFile());  // no backup went onto it
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
        CPipedCli cli({"--trace", "write", "-p", "COM1", table}, m_Dir / "out");
        for (int line = 0; line < 3; ++line) EXPECT_FALSE(cli.Line().empty());
        cli.CloseErr();
        EXPECT_EQ(cli.Wait(), 5);
        EXPECT_THAT(device.Log(), HasSubstr("write end: 32 entries stored"));
    }
    CPipedCli cli({"--json", "--trace", "write", "-p", "COM1", table}, m_Dir / "out");
    for (std::string line = cli.Line();
         !line.empty() && !line.ends_with("tx 01 30 05 30 31 30 35 03"); line = cli.Line()) {
    }
    ::kill(cli.Pid(), SIGINT);
    std::string rest;
    EXPECT_EQ(cli.Wait(&rest), 130);
    const std::string stopped =
        "stopped after entry [0-9]+ of 32: the panel may hold part of the table; write it again";
    EXPECT_THAT(rest, ContainsRegex(stopped));
    const auto json = nlohmann::json::parse(ReadFile(m_Dir / "out"), nullptr, false);
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
    EXPECT_TRUE(ParseTableFile(ReadFile(m_Dir / "backup-COM2.txt")).table);
}

// `map` writes the user's own map, which lasts; `ports` says where each mapping came from.
TEST_F(CliTest, MapWritesALastingMapThatReadsUse) {
    CSimulatorProcess& device = Device("COM1");
    const std::string pty = fs::read_symlink(m_Dir / "ports/COM1").string();
    Outcome run = Cli({"map", "COM4", pty});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(fs::read_symlink(m_Dir / "config/keltrove/ports/COM4"), pty);
    run = Cli({"ports"});
    EXPECT_THAT(run.out, HasSubstr("COM4 → " + (m_Dir / "config/keltrove/ports/COM4").string() +
                                   " → " + pty + " (your map)"));
    run = Cli({"read", "-p", "COM4"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(device.Log(), HasSubstr("read request"));
    EXPECT_EQ(Cli({"unmap", "COM4"}).code, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir / "config/keltrove/ports/COM4")));
}

// keltrove → TCP → ser2net → pty → keltrove-device, through both kinds of accepter; a value
// holding ÿ (0xFF, Telnet's IAC) and CR must reach the panel and come back as it was.
TEST_F(CliTest, NetworkPortsReadWriteAndVerifyThroughSer2Net) {
    Device("COM1");
    Device("COM2");
    CSer2Net server((m_Dir / "ports/COM1").string(), (m_Dir / "ports/COM2").string(),
                    m_Dir.string());
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
        EXPECT_THAT(ReadFile(m_Dir / file), HasSubstr("\n7 ÿ\\x0D1ÿ\n"));
    }
    EXPECT_EQ(Cli({"verify", "-p", "COM1", table}).code, 0) << "the panel itself holds it";

    // COM3 mapped to the RFC 2217 port: one device with it, shown with host and port.
    EXPECT_EQ(Cli({"map", "COM3", server.Rfc2217()}).code, 0);
    EXPECT_EQ(fs::read_symlink(m_Dir / "config/keltrove/ports/COM3"), server.Rfc2217());
    const std::string tcpPort = server.Rfc2217().substr(server.Rfc2217().rfind(':') + 1);
    EXPECT_THAT(Cli({"ports"}).out,
                HasSubstr(" → " + server.Rfc2217() +
                          " (your map)\n    network port: RFC 2217, host 127.0.0.1, TCP port " +
                          tcpPort + "\n"));
    Outcome run = Cli({"read", "-p", "COM3"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("# read from COM3 (" + server.Rfc2217() + ") at "));
    run = Cli({"read", "-p", "COM3", "-p", "tcp://127.0.0.1:" + tcpPort, "-o", "{port}"});
    EXPECT_EQ(run.code, 2);
    EXPECT_THAT(run.err, HasSubstr("name one device (127.0.0.1:" + tcpPort + ")"));
}

TEST_F(CliTest, NetworkPortFailuresHaveTheirExitCodes) {
    Device("COM1", {"--hangup-after", "8"});  // the panel's line goes behind the server
    CSer2Net server((m_Dir / "ports/COM1").string(), (m_Dir / "ports/COM1").string(),
                    m_Dir.string());
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
