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

#include "DeviceFrames.h"
#include "PanelBench.h"
#include "PortDir.h"
#include "PortEntry.h"
#include "PortMap.h"
#include "SimulatorProcess.h"

namespace keltrove::device {
namespace {

namespace fs = std::filesystem;
using keltrove::test::FileText;
using keltrove::test::ReadBytes;

// What a panel holding `table` answers a read with, as the line carries it.
std::string Answer(const DeviceTable& table) {
    const std::vector<std::uint8_t> bytes = Bytes(Reports(table));
    return {bytes.begin(), bytes.end()};
}

void Send(const std::string& fifo, const std::string& commands) {
    std::ofstream(fifo) << commands << "\n";
}

// The test's own port directory, which $KELTROVE_PORT_DIR names.
class PortDir : public ::testing::Test {
protected:
    // Runs the simulator with `args` and returns its exit code; m_Log is what it printed.
    int Run(const std::string& args) {
        const std::string command =
            "timeout 10 '" KELTROVE_DEVICE_BINARY "' " + args + " >/dev/null 2>'" + m_Dir + "/log'";
        const int status = std::system(command.c_str());
        m_Log = FileText(m_Dir + "/log");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    keltrove::test::CPortDir m_Scratch;
    const std::string m_Dir = m_Scratch.Path();
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

    // Nor does a simulator take a name that a running one holds.
    CPortEntry holder(m_Dir, "COM5");
    holder.PointAt("/dev/pts/5");
    EXPECT_EQ(Run("--as COM5"), 1);
    EXPECT_NE(m_Log.find("COM5 is already held"), std::string::npos) << m_Log;
    EXPECT_EQ(fs::read_symlink(m_Dir + "/COM5"), "/dev/pts/5");
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
    ASSERT_EQ(::write(port, kRead.data(), 8), 8);
    EXPECT_EQ(ReadBytes(port, 256), Answer(DefaultTable()));
    EXPECT_EQ(ReadBytes(port, 1, 300), "");  // what the log put on the line would show here
    ::close(port);
    EXPECT_EQ(FileText(m_Dir + "/.COM1.lock"), std::to_string(device) + "\n");
    ::kill(device, SIGTERM);
    ::waitpid(device, nullptr, 0);
}

// An adapter pulled out and put back: COMn goes while it is away, and comes back on a new
// pty. Then a storm of 50 on timers.
TEST_F(PortDir, ReplugTakesComNAwayAndBringsANewPty) {
    const std::string link = m_Dir + "/COM1";
    const std::string fifo = m_Dir + "/control";
    {
        // Away for a day, unless told: the test decides when it comes back.
        test::CSimulatorProcess device(
            {"--replug-after", "1", "--away", "86400000", "--control", fifo}, m_Dir + "/log");
        std::string pty = device.WaitPlugged();
        ASSERT_FALSE(pty.empty());
        for (int round = 0; round < 2; ++round) {
            const int port = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            ASSERT_GE(port, 0);
            ASSERT_EQ(::write(port, kRead.data(), 8), 8);
            ASSERT_EQ(device.WaitAnnounced("COM1"), link + " unplugged") << device.Log();
            EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
            pollfd hangup{port, POLLIN, 0};
            EXPECT_EQ(::poll(&hangup, 1, test::kGuardMs), 1);
            EXPECT_TRUE(hangup.revents & POLLHUP);
            ::close(port);
            Send(fifo, "plug");
            const std::string again = device.WaitPlugged();
            EXPECT_NE(again, pty);  // another number, as a replugged adapter gets
            EXPECT_EQ(fs::read_symlink(link), again);
            pty = again;
        }
    }
    test::CSimulatorProcess storm({"--replug-every", "2", "--away", "2"}, m_Dir + "/log");
    std::string pty = storm.WaitPlugged();
    for (int replug = 0; replug < 50; ++replug) {
        ASSERT_EQ(storm.WaitAnnounced("COM1"), link + " unplugged") << storm.Log();
        const std::string again = storm.WaitPlugged();
        ASSERT_NE(again, pty);
        pty = again;
    }
    EXPECT_EQ(storm.Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// A bench: panels come and go behind a line that stays, each with its own table, by a list
// and by commands.
TEST_F(PortDir, PanelsSwitchBehindTheSameLine) {
    std::ofstream(m_Dir + "/panels") << "zeros 1 0\n# a comment\ndefault 1 0\n";
    {
        test::CSimulatorProcess bench({"--panels", m_Dir + "/panels"}, m_Dir + "/log");
        EXPECT_EQ(bench.WaitAnnounced("panel"), "panel 1 connected (zeros)");
        EXPECT_EQ(bench.WaitAnnounced("panel"), "panel 1 disconnected (writes stored: 0)");
        EXPECT_EQ(bench.WaitAnnounced("panel"), "panel 2 connected (default)");
        EXPECT_EQ(bench.WaitAnnounced("panel"), "panel 2 disconnected (writes stored: 0)");
    }

    const std::string fifo = m_Dir + "/control";
    test::CSimulatorProcess device({"--control", fifo}, m_Dir + "/log");
    const std::string pty = device.WaitPlugged();
    ASSERT_EQ(device.WaitAnnounced("panel"), "panel 1 connected (default)");
    const int port = ::open((m_Dir + "/COM1").c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(port, 0);
    const Frame frames[] = {kBegin, Entry(5, "77"), kEnd, kRead};
    const std::vector<std::uint8_t> write = Bytes(frames);
    ASSERT_EQ(::write(port, write.data(), write.size()), 32);
    DeviceTable written = DefaultTable();
    written[4] = AlignValue("77");
    EXPECT_EQ(ReadBytes(port, 256), Answer(written));

    Send(fifo, "connect zeros\ndisconnect\ndisconnect\nconnect");
    EXPECT_EQ(device.WaitAnnounced("panel"), "panel 1 disconnected (writes stored: 1)");
    EXPECT_EQ(device.WaitAnnounced("panel"), "panel 2 connected (zeros)");
    EXPECT_EQ(device.WaitAnnounced("panel"), "panel 2 disconnected (writes stored: 0)");
    EXPECT_EQ(device.WaitAnnounced("refused"), "refused: disconnect: no panel is connected");
    EXPECT_EQ(device.WaitAnnounced("panel"), "panel 3 connected (default)");
    ASSERT_EQ(::write(port, kRead.data(), 8), 8);
    EXPECT_EQ(ReadBytes(port, 256), Answer(DefaultTable()));  // not what panel 1 was given
    EXPECT_EQ(fs::read_symlink(m_Dir + "/COM1"), pty);
    ::close(port);
}

}  // namespace
}  // namespace keltrove::device
