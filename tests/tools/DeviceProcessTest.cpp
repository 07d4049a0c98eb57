// Runs the real keltrove-device in a port directory of its own and talks to it through
// its COM link, as Keltrove does. Waits are bounded by kGuard only so that a broken
// simulator fails the test instead of hanging it; nothing is timed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceTestSupport.h"
#include "UniqueFd.h"

extern char** environ;

namespace keltrove::device {
namespace {

namespace fs = std::filesystem;
constexpr int kGuardMs = 10'000;

class CDeviceProcess {
public:
    CDeviceProcess(const std::string& portDir, std::vector<std::string> args,
                   const std::string& logPath) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
        m_Stdout.Reset(out[0]);
        UniqueFd writeEnd(out[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), 1);
        posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        args.insert(args.begin(), KELTROVE_DEVICE_BINARY);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env{"KELTROVE_PORT_DIR=" + portDir};
        for (char** e = environ; *e != nullptr; ++e) {
            if (!std::string_view(*e).starts_with("KELTROVE_PORT_DIR=")) env.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const int error =
            ::posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) throw std::runtime_error("posix_spawn " + std::string(argv[0]));
    }
    ~CDeviceProcess() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }

    // The next line on standard output, without its newline; "" at end of file.
    std::string ReadLine() {
        for (;;) {
            if (const auto end = m_Buffered.find('\n'); end != std::string::npos) {
                std::string line = m_Buffered.substr(0, end);
                m_Buffered.erase(0, end + 1);
                return line;
            }
            pollfd pfd{m_Stdout.Get(), POLLIN, 0};
            if (::poll(&pfd, 1, kGuardMs) <= 0) return {};
            char chunk[256];
            const ssize_t got = ::read(m_Stdout.Get(), chunk, sizeof chunk);
            if (got <= 0) return {};
            m_Buffered.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Waits for the exit; returns the exit code, or 128 + the signal that killed it.
    int Wait() {
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Stop() {
        ::kill(m_Pid, SIGTERM);
        return Wait();
    }

private:
    pid_t m_Pid = -1;
    UniqueFd m_Stdout;
    std::string m_Buffered;
};

// What the program's port sees: an open of the COM link.
UniqueFd OpenPort(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
}

void Send(const UniqueFd& port, std::span<const Frame> frames) {
    const std::vector<std::uint8_t> bytes = test::Bytes(frames);
    ASSERT_EQ(::write(port.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

struct Received {
    std::vector<std::uint8_t> bytes;
    bool hungUp = false;
};

// Reads until `count` bytes came, or the line hung up.
Received ReadBytes(const UniqueFd& port, std::size_t count) {
    Received received;
    while (received.bytes.size() < count) {
        pollfd pfd{port.Get(), POLLIN, 0};
        if (::poll(&pfd, 1, kGuardMs) <= 0) break;
        std::uint8_t chunk[512];
        const ssize_t got = ::read(port.Get(), chunk, sizeof chunk);
        if (got <= 0) {  // end of file or EIO: hung up
            received.hungUp = true;
            break;
        }
        received.bytes.insert(received.bytes.end(), chunk, chunk + got);
    }
    return received;
}

std::vector<std::uint8_t> DefaultAnswer() {
    std::vector<std::uint8_t> bytes;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const std::uint8_t report[] = {0x01,
                                       0x50,
                                       static_cast<std::uint8_t>(entry),
                                       '0',
                                       '1',
                                       static_cast<std::uint8_t>('0' + entry / 10),
                                       static_cast<std::uint8_t>('0' + entry % 10),
                                       0x03};
        bytes.insert(bytes.end(), std::begin(report), std::end(report));
    }
    return bytes;
}

std::string FileText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class DeviceProcess : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "keltrove-device-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_Dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_Dir); }

    std::unique_ptr<CDeviceProcess> Start(std::vector<std::string> args, const std::string& log) {
        return std::make_unique<CDeviceProcess>(m_Dir, std::move(args), m_Dir + "/" + log);
    }
    std::string Com1() const { return m_Dir + "/COM1"; }

    std::string m_Dir;
    const Frame m_Read = test::CommandFrame(Command::ReadRequest);
};

TEST_F(DeviceProcess, AnswersReadsAndWritesAcrossReopensAndCleansUpOnStop) {
    auto device = Start({"--as", "COM1"}, "log");
    EXPECT_TRUE(device->ReadLine().starts_with(Com1() + " -> /dev/pts/"));
    ASSERT_TRUE(OpenPort(Com1()).IsValid());  // opened and closed again, as Keltrove may
    const UniqueFd port = OpenPort(Com1());
    ASSERT_TRUE(port.IsValid());

    Send(port, std::span(&m_Read, 1));
    EXPECT_EQ(ReadBytes(port, 256).bytes, DefaultAnswer());

    const Frame write[] = {test::CommandFrame(Command::WriteBegin),
                           test::WriteEntryFrame(1, "4321"), test::CommandFrame(Command::WriteEnd),
                           m_Read};
    Send(port, write);
    const Received after = ReadBytes(port, 256);
    ASSERT_EQ(after.bytes.size(), 256u);
    EXPECT_EQ(std::string(after.bytes.begin() + 3, after.bytes.begin() + 7), "4321");

    EXPECT_EQ(device->Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Com1())));
    EXPECT_FALSE(fs::exists(m_Dir + "/.COM1.lock"));
    const std::string log = FileText(m_Dir + "/log");
    EXPECT_NE(log.find(" rx 01 40 30 30 30 30 30 03  read request"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx 01 50 20 30 31 33 32 03  report 32"), std::string::npos) << log;
}

TEST_F(DeviceProcess, RefusesANameThatARunningSimulatorHolds) {
    auto first = Start({}, "first.log");
    const std::string announced = first->ReadLine();
    ASSERT_FALSE(announced.empty());

    auto second = Start({"--as", "COM1"}, "second.log");
    EXPECT_EQ(second->Wait(), 1);
    EXPECT_NE(FileText(m_Dir + "/second.log").find("COM1 is already held by a running"),
              std::string::npos);

    EXPECT_EQ(Com1() + " -> " + fs::read_symlink(Com1()).string(), announced);
    EXPECT_EQ(first->Stop(), 0);
}

TEST_F(DeviceProcess, HangupAfterClosesTheProgramsPortAndPlugsInAgain) {
    auto device = Start({"--hangup-after", "3", "--burst"}, "log");
    ASSERT_FALSE(device->ReadLine().empty());
    {
        const UniqueFd port = OpenPort(Com1());
        Send(port, std::span(&m_Read, 1));
        const Received cut = ReadBytes(port, 256);
        EXPECT_TRUE(cut.hungUp);
        const std::vector<std::uint8_t> full = DefaultAnswer();
        EXPECT_EQ(cut.bytes, std::vector<std::uint8_t>(full.begin(), full.begin() + 16));
    }
    EXPECT_TRUE(device->ReadLine().starts_with(Com1() + " -> /dev/pts/"));
    const UniqueFd port = OpenPort(Com1());
    Send(port, std::span(&m_Read, 1));
    EXPECT_EQ(ReadBytes(port, 256).bytes, DefaultAnswer());
    EXPECT_EQ(device->Stop(), 0);
}

TEST_F(DeviceProcess, RefusesABadTableWithItsLineNumber) {
    std::ofstream(m_Dir + "/table.txt") << "1\n\n3\n";
    auto device = Start({"--table", m_Dir + "/table.txt"}, "log");
    EXPECT_EQ(device->Wait(), 2);
    EXPECT_NE(FileText(m_Dir + "/log").find("table.txt:2: empty line"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Com1())));
}

}  // namespace
}  // namespace keltrove::device
