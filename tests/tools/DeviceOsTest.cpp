// The port entry, and the real keltrove-device run until it exits, each in a port directory
// of its own. `timeout` only turns a simulator that wrongly keeps running into a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceModel.h"
#include "DeviceTable.h"
#include "PortEntry.h"
#include "PortMap.h"

namespace keltrove::device {
namespace {

namespace fs = std::filesystem;

const Frame kReadRequest{0x01, 0x40, 0x30, 0x30, 0x30, 0x30, 0x30, 0x03};

class PortDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "keltrove-device-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_Dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_Dir); }

    // Runs the simulator with `args` and returns its exit code; m_Log is what it printed.
    int Run(const std::string& args) {
        ::setenv("KELTROVE_PORT_DIR", m_Dir.c_str(), 1);
        const std::string command =
            "timeout 10 '" KELTROVE_DEVICE_BINARY "' " + args + " >/dev/null 2>'" + m_Dir + "/log'";
        const int status = std::system(command.c_str());
        std::ostringstream log;
        log << std::ifstream(m_Dir + "/log").rdbuf();
        m_Log = log.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string m_Dir;
    std::string m_Log;
};

TEST_F(PortDir, EntryCreatesAPrivateDirectoryAndRemovesOnlyItsOwnLink) {
    const std::string dir = m_Dir + "/run/keltrove";
    {
        CPortEntry entry(dir, "COM2");
        entry.PointAt("/dev/pts/77");
        EXPECT_EQ(fs::read_symlink(dir + "/COM2"), "/dev/pts/77");
        struct stat info {};
        ASSERT_EQ(::stat(dir.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    EXPECT_TRUE(fs::is_empty(dir));  // neither link nor lock file

    {
        CPortEntry entry(dir, "COM1");
        entry.PointAt("/dev/pts/5");
        fs::remove(dir + "/COM1");
        fs::create_symlink("/dev/ttyUSB1", dir + "/COM1");  // the user mapped it meanwhile
    }
    EXPECT_EQ(fs::read_symlink(dir + "/COM1"), "/dev/ttyUSB1");
}

// Keltrove opens whatever the links point at.
TEST_F(PortDir, EntryTakesOverAStaleLinkButNothingElse) {
    fs::create_symlink("/dev/pts/99", m_Dir + "/COM1");  // a simulator that was killed
    EXPECT_NO_THROW(CPortEntry(m_Dir, "COM1"));

    fs::create_symlink("/dev/ttyUSB0", m_Dir + "/COM2");
    EXPECT_THROW(CPortEntry(m_Dir, "COM2"), CPortRefused);
    EXPECT_EQ(fs::read_symlink(m_Dir + "/COM2"), "/dev/ttyUSB0");

    std::ofstream(m_Dir + "/COM3") << "not a link";
    EXPECT_THROW(CPortEntry(m_Dir, "COM3"), CPortRefused);
    EXPECT_TRUE(fs::is_regular_file(m_Dir + "/COM3"));

    // The window and keltrove-cli would ignore a directory that others may change, so the
    // simulator must not plug in there either: they decide by the same rule.
    PortPlaces places;
    places.maps = {{PortPlace::Environment, m_Dir}};
    ASSERT_EQ(MapPort("COM3", places).problem, "");
    for (const fs::perms others : {fs::perms::group_write, fs::perms::others_write}) {
        fs::permissions(m_Dir, others, fs::perm_options::add);
        EXPECT_THROW(CPortEntry(m_Dir, "COM4"), CPortRefused);
        EXPECT_NE(MapPort("COM3", places).problem, "");
        fs::permissions(m_Dir, others, fs::perm_options::remove);
    }
}

TEST_F(PortDir, SimulatorRefusesANameThatIsHeld) {
    CPortEntry holder(m_Dir, "COM1");  // the lock a running simulator holds
    holder.PointAt("/dev/pts/5");
    EXPECT_EQ(Run("--as COM1"), 1);
    EXPECT_NE(m_Log.find("COM1 is already held"), std::string::npos) << m_Log;
    EXPECT_EQ(fs::read_symlink(m_Dir + "/COM1"), "/dev/pts/5");
}

// A bad table names its lines, quotes the file without letting it drive the terminal,
// and nothing that is not a regular file is read (a FIFO with no writer would hang).
TEST_F(PortDir, SimulatorRefusesABadTableSafely) {
    std::ofstream(m_Dir + "/table.txt") << "1 0101\n2 12345\n3 \x1b]0;X\x07\n";
    EXPECT_EQ(Run("--table '" + m_Dir + "/table.txt'"), 2);
    EXPECT_NE(m_Log.find("table.txt:2: entry 2: the value \"12345\" is longer"), std::string::npos)
        << m_Log;
    EXPECT_NE(m_Log.find("table.txt:3: entry 3: a control character stands in the value; write "
                         "it as \\x1B"),
              std::string::npos)
        << m_Log;
    EXPECT_EQ(m_Log.find('\x1b'), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir + "/COM1")));

    ASSERT_EQ(::mkfifo((m_Dir + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(Run("--table '" + m_Dir + "/fifo'"), 2);
    EXPECT_NE(m_Log.find("fifo: is a FIFO (a named pipe), not a file"), std::string::npos) << m_Log;
    EXPECT_EQ(Run("--table '" + m_Dir + "'"), 2);
    EXPECT_NE(m_Log.find(": is a directory, not a file"), std::string::npos) << m_Log;
}

// Started with its standard streams closed, the simulator must not log into its lock file
// or onto the line.
TEST_F(PortDir, SimulatorWithClosedStreamsKeepsTheLineClean) {
    // The link appearing is the only sign that it is ready: its output is closed.
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, m_Dir.c_str(), IN_MOVED_TO | IN_CREATE), 0);
    const pid_t device = ::fork();
    if (device == 0) {
        for (int fd = 0; fd <= 2; ++fd) ::close(fd);
        ::execl(KELTROVE_DEVICE_BINARY, KELTROVE_DEVICE_BINARY, "--port-dir", m_Dir.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string link = m_Dir + "/COM1";
    pollfd changed{watch, POLLIN, 0};
    char events[4096];
    while (!fs::exists(link) && ::poll(&changed, 1, 10'000) == 1) {
        (void)::read(watch, events, sizeof events);
    }
    ::close(watch);
    const int port = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(port, 0);
    const std::uint8_t request[8] = {0x01, 0x40, 0x30, 0x30, 0x30, 0x30, 0x30, 0x03};
    ASSERT_EQ(::write(port, request, 8), 8);
    std::vector<std::uint8_t> answer(32 * 8 + 1);
    std::size_t got = 0;
    pollfd far{port, POLLIN, 0};
    // One byte more than the answer: anything the log put on the line would show there.
    while (::poll(&far, 1, got < 256 ? 10000 : 300) == 1 && got < answer.size()) {
        const ssize_t n = ::read(port, answer.data() + got, answer.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(port);
    EXPECT_EQ(got, 256u);
    answer.resize(got);
    std::vector<std::uint8_t> expected;
    for (const Frame& report : CDeviceModel(DefaultTable()).Handle(kReadRequest).replies) {
        expected.insert(expected.end(), report.begin(), report.end());
    }
    EXPECT_EQ(answer, expected);
    std::ostringstream lock;
    lock << std::ifstream(m_Dir + "/.COM1.lock").rdbuf();
    EXPECT_EQ(lock.str(), std::to_string(device) + "\n");
    ::kill(device, SIGTERM);
    ::waitpid(device, nullptr, 0);
}

}  // namespace
}  // namespace keltrove::device
