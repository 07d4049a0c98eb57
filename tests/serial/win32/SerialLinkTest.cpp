// The Win32 serial link against the simulator. windows_tests (tests/windows) runs these
// under Wine with a fresh simulator behind $KELTROVE_TEST_PORT for each case; without it
// the cases that need a device skip, since no other port may be opened.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>

#include "Frame.h"
#include "LinkEvents.h"
#include "SerialLink.h"

namespace keltrove {
namespace {

using namespace std::chrono_literals;

// Failure guard for waits: only ends a test that would hang.
constexpr auto kGuard = 10s;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Counts the lost reports; the rest is not needed here.
class CLostRecorder final : public ILinkEvents {
public:
    void OnRxNotify(std::uint16_t) override {}
    void OnQueueFull(std::uint16_t, std::uint32_t) override {}
    void OnLinkLost(std::uint16_t, std::string reason) override {
        std::lock_guard lock(m_Mutex);
        m_strLost = std::move(reason);
        ++m_nLost;
        m_Changed.notify_all();
    }
    // The lost reports so far, after waiting for the first one up to the guard.
    int WaitForLost() {
        std::unique_lock lock(m_Mutex);
        m_Changed.wait_for(lock, kGuard, [&] { return m_nLost != 0; });
        return m_nLost;
    }
    std::string Reason() {
        std::lock_guard lock(m_Mutex);
        return m_strLost;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    int m_nLost = 0;
    std::string m_strLost;
};

// The port the driver made, checked to be the simulator before anything is sent: it set
// the line to $KELTROVE_TEST_GUARD_BAUD, an unusual speed that no machine port has by itself.
class SimulatorPort : public ::testing::Test {
protected:
    void SetUp() override {
        m_strPort = Env("KELTROVE_TEST_PORT");
        if (m_strPort.empty()) GTEST_SKIP() << "needs the simulator that windows_tests provides";
        const DWORD guard = std::strtoul(Env("KELTROVE_TEST_GUARD_BAUD").c_str(), nullptr, 10);
        const std::string path = "\\\\.\\" + m_strPort;
        const HANDLE port = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << m_strPort << ": error " << ::GetLastError();
        DCB line{};
        line.DCBlength = sizeof line;
        const BOOL read = ::GetCommState(port, &line);
        ::CloseHandle(port);
        ASSERT_TRUE(read && guard != 0 && line.BaudRate == guard)
            << "refusing to use " << m_strPort << ": it reports " << line.BaudRate
            << " baud, not the simulator's " << guard;
    }

    std::string m_strPort;
};

// The guard alone, which the Windows tests run before each case of theirs: the link opens
// the simulator's port and lets it go.
TEST_F(SimulatorPort, IsTheSimulator) {
    CSerialLink link;
    ASSERT_EQ(link.Open(m_strPort, kLineBaud, 1), 1) << link.LastError();
    link.Close();
    EXPECT_FALSE(link.IsOpen());
}

std::chrono::microseconds ProcessCpu() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
}

// The driver's simulator hangs up after a few frames, then plugs a new line in.
TEST_F(SimulatorPort, HangUpIsOneLostReportWithoutSpinAndCyclesLeaveNoHandle) {
    CLostRecorder events;
    CSerialLink link(&events);
    ASSERT_EQ(link.Open(m_strPort, kLineBaud, 3), 1) << link.LastError();
    Frame request = kInitialFrame;
    SetCommandFrame(request, Command::ReadRequest);
    ASSERT_EQ(link.Write(request.data(), kFrameSize), kFrameSize);
    ASSERT_EQ(events.WaitForLost(), 1);
    EXPECT_FALSE(link.IsWatching());

    // A watcher that spun on the dead port would burn its core here.
    const auto start = ProcessCpu();
    ::Sleep(1000);
    EXPECT_LT(ProcessCpu() - start, 100ms);
    EXPECT_EQ(events.WaitForLost(), 1);
    EXPECT_EQ(events.Reason().rfind(m_strPort + ": ", 0), 0u) << events.Reason();
    link.Close();
    EXPECT_FALSE(link.IsOpen());

    // Every cycle's handles and thread are gone again by its Close.
    DWORD before = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(link.Open(m_strPort, kLineBaud, 3), 1) << link.LastError();
        link.Close();
    }
    DWORD after = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace keltrove
