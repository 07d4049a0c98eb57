#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "PortEntry.h"

namespace keltrove::device {
namespace {

namespace fs = std::filesystem;

class PortEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "keltrove-entry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_Dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_Dir); }

    fs::path Path(const std::string& name) const { return fs::path(m_Dir) / name; }
    std::string Target(const std::string& name) const {
        return fs::is_symlink(Path(name)) ? fs::read_symlink(Path(name)).string() : "";
    }

    std::string m_Dir;
};

TEST_F(PortEntryTest, CreatesAPrivateDirectoryAndLeavesNothingBehind) {
    const std::string dir = m_Dir + "/run/keltrove";
    {
        CPortEntry entry(dir, "COM2");
        entry.PointAt("/dev/pts/77");
        EXPECT_EQ(fs::read_symlink(dir + "/COM2"), "/dev/pts/77");
        entry.PointAt("/dev/pts/78");  // plugged in again
        EXPECT_EQ(fs::read_symlink(dir + "/COM2"), "/dev/pts/78");
        struct stat info {};
        ASSERT_EQ(::stat(dir.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(PortEntryTest, TakesOverAStaleEntryButNeverAPortTheUserMapped) {
    fs::create_symlink("/dev/pts/99", Path("COM1"));  // a simulator that was killed
    {
        CPortEntry entry(m_Dir, "COM1");
        entry.PointAt("/dev/pts/5");
        EXPECT_EQ(Target("COM1"), "/dev/pts/5");
    }

    fs::create_symlink("/dev/ttyUSB0", Path("COM2"));
    EXPECT_THROW(CPortEntry(m_Dir, "COM2"), CPortRefused);
    EXPECT_EQ(Target("COM2"), "/dev/ttyUSB0");

    std::ofstream(Path("COM3")) << "not a link";
    EXPECT_THROW(CPortEntry(m_Dir, "COM3"), CPortRefused);
    EXPECT_TRUE(fs::is_regular_file(Path("COM3")));
}

TEST_F(PortEntryTest, RefusesAHeldNameAndLeavesTheHolderAlone) {
    CPortEntry holder(m_Dir, "COM1");
    holder.PointAt("/dev/pts/5");
    try {
        CPortEntry second(m_Dir, "COM1");
        FAIL() << "a held name was taken";
    } catch (const CPortRefused& refused) {
        const std::string message = refused.what();
        EXPECT_NE(message.find("COM1 is already held"), std::string::npos) << message;
        EXPECT_NE(message.find("pid " + std::to_string(::getpid())), std::string::npos) << message;
    }
    EXPECT_EQ(Target("COM1"), "/dev/pts/5");
    // The holder's lock still works: a third try is refused as well.
    EXPECT_THROW(CPortEntry(m_Dir, "COM1"), CPortRefused);
}

TEST_F(PortEntryTest, KeepsALinkThatWasPointedElsewhereMeanwhile) {
    {
        CPortEntry entry(m_Dir, "COM1");
        entry.PointAt("/dev/pts/5");
        fs::remove(Path("COM1"));
        fs::create_symlink("/dev/ttyUSB1", Path("COM1"));
    }
    EXPECT_EQ(Target("COM1"), "/dev/ttyUSB1");
}

TEST_F(PortEntryTest, RefusesADirectoryAnyoneCanWriteTo) {
    fs::permissions(m_Dir, fs::perms::all);
    EXPECT_THROW(CPortEntry(m_Dir, "COM1"), CPortRefused);
}

}  // namespace
}  // namespace keltrove::device
