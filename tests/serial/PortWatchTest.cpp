// The port watch: a port that comes or goes anywhere along its chain of links is reported,
// with inotify and with the poll; a name beside it is not; the watch ends at once and
// leaves no descriptor behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "PortWatch.h"

namespace keltrove {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Wake = CPortWatch::Wake;

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

class PortWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/keltrove-watch-XXXXXX";
        m_Dir = ::mkdtemp(pattern);
        for (const char* dir : {"ports", "dev"}) {
            fs::create_directory(m_Dir / dir);
            fs::permissions(m_Dir / dir, fs::perms::owner_all);
        }
        ::setenv("KELTROVE_PORT_DIR", (m_Dir / "ports").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("KELTROVE_PORT_DIR");
        fs::remove_all(m_Dir);
    }

    // A poll this often keeps the test short; the second's period changes nothing else.
    static constexpr std::chrono::milliseconds kPeriod{50};
    // A guard against a hang, far beyond a poll's period.
    static CPortWatch::Clock::time_point Guard() { return CPortWatch::Clock::now() + 10s; }

    fs::path m_Dir;
};

TEST_F(PortWatchTest, EachStepOfTheChainIsSeenAndANameBesideItIsNot) {
    const std::size_t before = OpenDescriptors();
    for (const auto method : {CPortWatch::Method::Notify, CPortWatch::Method::Poll}) {
        SCOPED_TRACE(method == CPortWatch::Method::Poll ? "poll" : "inotify");
        std::atomic<int> called{0};
        const std::thread::id owner = std::this_thread::get_id();
        std::atomic<bool> onOwner{false};
        CPortWatch watch(kPeriod);
        // COM3: no map but the tests' has it, and no /dev/ttyS2 stands behind it.
        ASSERT_EQ(watch.Start(
                      "COM3",
                      [&] {
                          onOwner = onOwner || std::this_thread::get_id() == owner;
                          ++called;
                      },
                      method),
                  "");
        EXPECT_EQ(watch.Polls(), method == CPortWatch::Method::Poll);

        fs::create_symlink(m_Dir / "dev/tty0", m_Dir / "ports/COM3");  // points at nothing yet
        EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);
        std::ofstream(m_Dir / "dev/tty0").put('\n');  // the device behind it comes
        EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);
        fs::permissions(m_Dir / "dev/tty0", fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);  // as udev gives it a group
        std::ofstream(m_Dir / "dev/tty1").put('\n');
        std::ofstream(m_Dir / "ports/COM4").put('\n');
        EXPECT_EQ(watch.WaitForChange(CPortWatch::Clock::now() + 6 * kPeriod), Wake::TimedOut);
        fs::remove(m_Dir / "ports/COM3");
        EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);

        const auto stopping = CPortWatch::Clock::now();
        watch.Stop();
        EXPECT_LT(CPortWatch::Clock::now() - stopping, 100ms);
        // Every change seen was told on the watch's thread, which Stop has joined.
        EXPECT_GE(called.load(), 4);
        EXPECT_FALSE(onOwner.load());
        for (const char* name : {"dev/tty0", "dev/tty1", "ports/COM4"}) fs::remove(m_Dir / name);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

// A directory that does not exist yet is watched through the nearest one that does.
TEST_F(PortWatchTest, AMissingDirectoryIsWaitedForAndInterruptEndsTheWait) {
    CPortWatch watch(kPeriod);
    const fs::path path = m_Dir / "dev/serial/by-id/usb-adapter";
    ASSERT_EQ(watch.Start(path.string()), "");
    fs::create_directories(path.parent_path());
    EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);
    std::ofstream(path).put('\n');
    EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Changed);

    std::thread stopper([&] { watch.Interrupt(); });
    EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Interrupted);
    stopper.join();
    EXPECT_EQ(watch.WaitForChange(Guard()), Wake::Interrupted);  // until Stop
}

}  // namespace
}  // namespace keltrove
