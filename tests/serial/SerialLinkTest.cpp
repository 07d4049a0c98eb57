// CSerialLink and its watcher on pseudo-terminals: the test plays the device at the master.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <numeric>

#include "LineSettings.h"
#include "PtyPair.h"
#include "UucpLock.h"

namespace keltrove::test {
namespace {

using ::testing::HasSubstr;

constexpr std::uint16_t kPortTag = 3;

int OpenFds() {
    return CountEntries("/proc/self/fd");
}
int Threads() {
    return CountEntries("/proc/self/task");
}

// `count` bytes counting up from `first`, wrapping at 256: every byte value occurs, among
// them 0x03, 0x0D, 0x11 and 0x13, which a cooked terminal would have eaten or changed.
std::vector<std::uint8_t> Bytes(std::size_t first, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

bool SameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

TEST_F(PtyPair, OpenMakesTheLineRaw8N1AndCloseRestoresTheOldSettings) {
    termios cooked = SlaveSettings();
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_iflag |= IXON | IXOFF | ICRNL;
    cooked.c_oflag |= OPOST;
    cooked.c_cflag |= CSTOPB | CRTSCTS;
    cooked.c_cflag &= ~CLOCAL;
    cfsetspeed(&cooked, B1200);
    ASSERT_EQ(::tcsetattr(m_nSlave, TCSANOW, &cooked), 0);
    const termios before = SlaveSettings();

    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    const termios open = SlaveSettings();
    EXPECT_EQ(cfgetispeed(&open), B9600);
    EXPECT_EQ(cfgetospeed(&open), B9600);
    EXPECT_EQ(open.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD | CLOCAL), CS8 | CREAD | CLOCAL);
    EXPECT_EQ(open.c_cflag & CRTSCTS, CRTSCTS) << "hardware flow control stays as it was";
    EXPECT_EQ(open.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);
    EXPECT_EQ(open.c_cc[VMIN], 0);
    EXPECT_EQ(open.c_cc[VTIME], 0);

    m_Link.Close();
    EXPECT_TRUE(SameSettings(before, SlaveSettings()));
}

TEST_F(PtyPair, ReadBackCatchesASettingThePortDroppedSilently) {
    // A pty has no parity bit: tcsetattr() succeeds, but PARENB does not stick.
    termios wanted = RawLine(SlaveSettings(), B9600);
    wanted.c_cflag |= PARENB;
    ASSERT_EQ(::tcsetattr(m_nSlave, TCSANOW, &wanted), 0);
    EXPECT_FALSE(LineTook(wanted, SlaveSettings()));

    wanted.c_cflag &= ~PARENB;
    ASSERT_EQ(::tcsetattr(m_nSlave, TCSANOW, &wanted), 0);
    EXPECT_TRUE(LineTook(wanted, SlaveSettings()));
}

TEST_F(PtyPair, MissingDeviceAndNonTerminalAreRefusedWithTheReasonAndLeaveNothingOpen) {
    char path[] = "/tmp/keltrove-not-a-port-XXXXXX";
    const int file = ::mkstemp(path);
    ASSERT_GE(file, 0);
    ::close(file);
    const int fds = OpenFds();
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/keltrove-no-such-port", "/dev/keltrove-no-such-port: No such file or directory"},
        {path, std::string(path) + " is not a serial port: it is a plain file"},
    };
    for (const auto& [device, reason] : cases) {
        EXPECT_EQ(m_Link.Open(device, 9600, kPortTag), 0);
        EXPECT_EQ(m_Link.LastError(), reason);
        EXPECT_FALSE(m_Link.IsOpen());
        EXPECT_FALSE(m_Link.IsWatching());
        EXPECT_EQ(OpenFds(), fds);
    }
    ::unlink(path);
}

TEST_F(PtyPair, PortHeldByAnotherOpenIsRefusedUntilThatOneCloses) {
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    EXPECT_TRUE(std::filesystem::exists(m_strLockDir + "/" + CUucpLock::FileName(m_strPath)));
    WriteFar({0x01});  // reported once the watcher runs: what its start opens is not counted
    ASSERT_TRUE(m_Events.WaitForNotifications(1));
    CSerialLink other;
    const int fds = OpenFds();
    const int threads = Threads();

    EXPECT_EQ(other.Open(m_strPath, 9600, 4), 0);
    EXPECT_THAT(other.LastError(), HasSubstr(m_strPath + " is in use by "));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(OpenFds(), fds);
    EXPECT_EQ(Threads(), threads);

    // Without the lock file, flock still keeps the second one out.
    ::setenv("KELTROVE_LOCK_DIR", "/nonexistent", 1);
    EXPECT_EQ(other.Open(m_strPath, 9600, 4), 0);
    EXPECT_THAT(other.LastError(), HasSubstr(": another program has locked it for itself"));
    ::setenv("KELTROVE_LOCK_DIR", m_strLockDir.c_str(), 1);

    m_Link.Close();
    EXPECT_EQ(other.Open(m_strPath, 9600, 4), 1) << other.LastError();
}

// Another program holds the port's lock file the way minicom and CuteCom do: the port is
// refused with its name; once it has ended, its lock is stale and taken over.
TEST_F(PtyPair, ALockFileOfALiveProgramRefusesThePortAndAStaleOneIsTakenOver) {
    const std::string lock = m_strLockDir + "/" + CUucpLock::FileName(m_strPath);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::pause();
        ::_exit(0);
    }
    std::ofstream(lock) << std::setw(10) << holder << "\n";

    EXPECT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 0);
    EXPECT_EQ(m_Link.LastError(), m_strPath + " is in use by serial_tests (pid " +
                                      std::to_string(holder) + "); close it there first");
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    EXPECT_EQ(std::stol(FileText(lock)), ::getpid());
}

// Root may open anything, so the refusal is tried as nobody, in a child.
TEST_F(PtyPair, PermissionDeniedSaysWhatWouldHelp) {
    const auto openAsNobody = [&] {
        int out[2];
        if (::pipe(out) != 0) return std::string("pipe failed");
        const pid_t child = ::fork();
        if (child == 0) {
            std::string reason = "could not become nobody";
            if (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) {
                CSerialLink link;
                reason = link.Open(m_strPath, 9600, kPortTag) == 1 ? "opened" : link.LastError();
            }
            (void)::write(out[1], reason.data(), reason.size());
            ::_exit(0);
        }
        ::close(out[1]);
        std::string reason(512, '\0');
        const ssize_t size = ::read(out[0], reason.data(), reason.size());
        ::close(out[0]);
        ::waitpid(child, nullptr, 0);
        reason.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        return reason;
    };
    ASSERT_EQ(::chown(m_strPath.c_str(), 0, 5), ::geteuid() == 0 ? 0 : -1);
    ASSERT_EQ(::chmod(m_strPath.c_str(), 0600), 0);
    EXPECT_EQ(openAsNobody(), m_strPath +
                                  ": Permission denied; only root or its owner root may "
                                  "use it (mode 0600), so joining a group will not help");
    ASSERT_EQ(::chmod(m_strPath.c_str(), 0660), 0);
    EXPECT_THAT(openAsNobody(), HasSubstr(": Permission denied; the group tty may use it: join it "
                                          "(sudo adduser $USER tty), then log in again"));
}

// Small bursts are notified once each, after the whole burst is in; blocks larger than a
// chunk arrive in order across the queue's wrap, and nothing is dropped.
TEST_F(PtyPair, BytesReachTheQueueInOrderWithOneNotificationPerWakeUp) {
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    constexpr std::size_t kBursts = 20;
    for (std::size_t burst = 0; burst < kBursts; ++burst) {
        const std::vector<std::uint8_t> bytes = Bytes(burst * 20, 20);
        WriteFar(bytes);
        ASSERT_TRUE(m_Events.WaitForNotifications(burst + 1));
        EXPECT_EQ(TakeAll(), bytes);
    }
    EXPECT_EQ(m_Events.Snapshot().notified, std::vector<std::uint16_t>(kBursts, kPortTag));

    constexpr std::size_t kBlock = 3000;  // more than one 2048-byte chunk
    std::vector<std::uint8_t> received;
    std::size_t notified = kBursts;
    for (std::size_t sent = 0; sent < 10 * kBlock; sent += kBlock) {
        WriteFar(Bytes(sent, kBlock));
        // Bytes stored after the last notification seen are followed by another one.
        while (received.size() < sent + kBlock) {
            ASSERT_TRUE(m_Events.WaitForNotifications(notified + 1));
            notified = m_Events.Snapshot().notified.size();
            const std::vector<std::uint8_t> taken = TakeAll();
            received.insert(received.end(), taken.begin(), taken.end());
        }
    }
    EXPECT_EQ(received, Bytes(0, 10 * kBlock));
    EXPECT_TRUE(m_Events.Snapshot().dropped.empty());
}

TEST_F(PtyPair, ChunkThatDoesNotFitIsDroppedWholeAndReported) {
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    const auto holding = [this](std::size_t count) {
        return m_Events.WaitFor(
            [&](const LinkRecords&) { return m_Link.ReceivedCount() == count; });
    };
    WriteFar(Bytes(0, 8092));  // held, none taken
    ASSERT_TRUE(holding(8092));
    WriteFar(Bytes(1, 100));  // 8092 + 100 > 8191
    ASSERT_TRUE(
        m_Events.WaitFor([](const LinkRecords& records) { return !records.dropped.empty(); }));
    EXPECT_EQ(m_Events.Snapshot().dropped, std::vector<std::uint32_t>{100});
    EXPECT_EQ(m_Link.ReceivedCount(), 8092u);

    std::uint8_t byte = 0;
    ASSERT_EQ(m_Link.TakeReceived(&byte, 1), 1u);
    WriteFar(Bytes(101, 100));  // 8091 + 100 = 8191: fits exactly
    ASSERT_TRUE(holding(8191));
    EXPECT_EQ(m_Events.Snapshot().dropped.size(), 1u);
    const std::vector<std::uint8_t> held = TakeAll();
    EXPECT_EQ(std::vector<std::uint8_t>(held.end() - 100, held.end()), Bytes(101, 100));
}

// Close returns after the watcher has ended, and waking it to end reports nothing; Open on
// an open port closes it first, so one watcher runs; cycles leave nothing behind.
TEST_F(PtyPair, OpenAndCloseLeaveOneWatcherAtMostAndNothingBehind) {
    const int fds = OpenFds();
    const int threads = Threads();
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    // Without the Close inside Open, the port's own lock would refuse this.
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    EXPECT_TRUE(m_Link.IsWatching());
    EXPECT_EQ(SettledCount(Threads, threads + 1), threads + 1);
    WriteFar({0x01});
    ASSERT_TRUE(m_Events.WaitForNotifications(1));  // the watcher goes back to sleep

    m_Link.Close();
    EXPECT_FALSE(m_Link.IsWatching());
    EXPECT_FALSE(m_Link.IsOpen());
    EXPECT_EQ(SettledCount(Threads, threads), threads);
    EXPECT_EQ(m_Events.Snapshot().order, "n") << "waking the watcher to end it reports nothing";

    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
        m_Link.Close();
    }
    EXPECT_EQ(OpenFds(), fds);
    EXPECT_EQ(SettledCount(Threads, threads), threads);
}

TEST_F(PtyPair, FarEndClosingMidStreamEndsTheWatcherWithOneLostReport) {
    const int threads = Threads();
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    WriteFar(Bytes(0, 1000));
    m_Far.HangUp();

    ASSERT_TRUE(m_Events.WaitFor([](const LinkRecords& r) { return !r.lost.empty(); }));
    // It stopped watching before it reported, so it cannot be spinning on the dead port.
    EXPECT_FALSE(m_Link.IsWatching());
    EXPECT_TRUE(m_Link.IsOpen()) << "the port stays held until Close";
    EXPECT_EQ(SettledCount(Threads, threads), threads) << "the watcher's thread has ended";

    const LinkRecords records = m_Events.Snapshot();
    ASSERT_EQ(records.lost.size(), 1u);
    EXPECT_EQ(records.lost[0].first, kPortTag);
    EXPECT_THAT(records.lost[0].second, HasSubstr(m_strPath + ": "));
    EXPECT_EQ(records.order.back(), 'l') << "nothing after the lost report";
    const std::vector<std::uint8_t> received = TakeAll();
    EXPECT_EQ(received, Bytes(0, received.size())) << "what arrived, arrived in order";

    m_Link.Close();
    EXPECT_FALSE(m_Link.IsOpen());
    EXPECT_EQ(m_Events.Snapshot().order, records.order);
}

TEST_F(PtyPair, WatcherThatCannotStartIsReportedAndNothingStaysOpen) {
    const termios before = SlaveSettings();
    const int fds = OpenFds();
    const int threads = Threads();
    // Allow the port's descriptor, the lowest free one, and nothing above it: no eventfd.
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int opened = m_Link.Open(m_strPath, 9600, kPortTag);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_EQ(opened, 0);
    EXPECT_EQ(m_Link.LastError(), "Error while creating ThreadWatchComm, " + m_strPath +
                                      " (cannot make its wake-up descriptor: Too many open files "
                                      "(the program has too many files open))");
    EXPECT_EQ(m_Events.Snapshot().order, "");
    EXPECT_FALSE(m_Link.IsOpen());
    EXPECT_EQ(OpenFds(), fds);
    EXPECT_EQ(Threads(), threads);
    EXPECT_TRUE(SameSettings(before, SlaveSettings()));
}

// A frame with the bytes a cooked line would change: 0x0A (to CR LF), 0x11 and 0x13
// (XON/XOFF), 0x03 (interrupt).
const std::uint8_t kFrame[8] = {0x01, 0x30, 0x0A, 0x11, 0x13, 0x0D, 0x30, 0x03};

// Written as is, nothing without a port or once the device has hung up, and a stalled line
// gives up at the time limit.
TEST_F(PtyPair, WriteHandsTheFrameToTheLineAsIsWithinItsTimeLimit) {
    EXPECT_EQ(m_Link.Write(kFrame, 8), 0u);
    ASSERT_EQ(m_Link.Open(m_strPath, 9600, kPortTag), 1) << m_Link.LastError();
    EXPECT_EQ(m_Link.Write(kFrame, 8), 8u);
    EXPECT_EQ(m_Far.Take(8), std::string(kFrame, kFrame + 8));
    ASSERT_EQ(::tcflow(m_nSlave, TCOOFF), 0);  // the line takes nothing
    EXPECT_EQ(m_Link.Write(kFrame, 8), 0u);
    ASSERT_EQ(::tcflow(m_nSlave, TCOON), 0);
    m_Far.HangUp();
    EXPECT_EQ(m_Link.Write(kFrame, 8), 0u);
    m_Link.Close();
    EXPECT_EQ(m_Link.Write(kFrame, 8), 0u);
}

}  // namespace
}  // namespace keltrove::test
