// The port entry, and the real keltrove-device run until it exits, each in a port directory
// of its own. `timeout` only turns a simulator that wrongly keeps running into a failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "PortEntry.h"

namespace keltrove::device {
namespace {

namespace fs = std::filesystem;

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

    fs::permissions(m_Dir, fs::perms::all);
    EXPECT_THROW(CPortEntry(m_Dir, "COM4"), CPortRefused);
}

TEST_F(PortDir, SimulatorRefusesANameThatIsHeld) {
    CPortEntry holder(m_Dir, "COM1");  // the lock a running simulator holds
    holder.PointAt("/dev/pts/5");
    EXPECT_EQ(Run("--as COM1"), 1);
    EXPECT_NE(m_Log.find("COM1 is already held"), std::string::npos) << m_Log;
    EXPECT_EQ(fs::read_symlink(m_Dir + "/COM1"), "/dev/pts/5");
}

TEST_F(PortDir, SimulatorRefusesABadTableWithItsLineNumber) {
    std::ofstream(m_Dir + "/table.txt") << "1\n\n3\n";
    EXPECT_EQ(Run("--table '" + m_Dir + "/table.txt'"), 2);
    EXPECT_NE(m_Log.find("table.txt:2: empty line"), std::string::npos) << m_Log;
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_Dir + "/COM1")));
}

}  // namespace
}  // namespace keltrove::device
