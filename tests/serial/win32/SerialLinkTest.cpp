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
#include "RxAssembler.h"
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

// Wine keeps no exclusive open of a pty-backed port, and ends waits without cause.
bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class CRecorder final : public ILinkEvents {
public:
    void OnRxNotify(std::uint16_t) override { Bump(m_nNotified); }
    void OnQueueFull(std::uint16_t, std::uint32_t) override { Bump(m_nFull); }
    void OnLinkLost(std::uint16_t, std::string reason) override {
        std::lock_guard lock(m_Mutex);
        m_strLost = std::move(reason);
        ++m_nLost;
        m_Changed.notify_all();
    }
    // Waits until `done` holds; false when the guard ran out.
    template <typename Done>
    bool WaitFor(Done done) {
        std::unique_lock lock(m_Mutex);
        return m_Changed.wait_for(lock, kGuard, [&] { return done(*this); });
    }
    int Lost() {
        std::lock_guard lock(m_Mutex);
        return m_nLost;
    }

    int m_nNotified = 0;
    int m_nFull = 0;
    int m_nLost = 0;
    std::string m_strLost;

private:
    void Bump(int& counter) {
        std::lock_guard lock(m_Mutex);
        ++counter;
        m_Changed.notify_all();
    }
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
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

    // Sends a read request and feeds what comes back through an assembler until all 32
    // reports are in or the guard runs out. The number of reports.
    int ReadTable(CSerialLink& link, CRecorder& events) {
        Frame request = kInitialFrame;
        SetCommandFrame(request, Command::ReadRequest);
        EXPECT_EQ(link.Write(request.data(), kFrameSize), kFrameSize);
        CRxAssembler assembler;
        int reports = 0;
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        while (reports < 32 && std::chrono::steady_clock::now() < deadline) {
            const int seen = events.m_nNotified;
            events.WaitFor([&](CRecorder& r) { return r.m_nNotified != seen || r.m_nLost != 0; });
            std::uint8_t byte = 0;
            while (link.TakeReceived(&byte, 1) == 1) {
                const RxStep step = assembler.Push(byte);
                if (step.frame && IsEntryReport(*step.frame)) ++reports;
            }
            if (events.Lost() != 0) break;
        }
        return reports;
    }

    std::string m_strPort;
};

TEST_F(SimulatorPort, IsTheSimulator) {}  // the guard alone, run before each command-line case

TEST_F(SimulatorPort, ReadsTheWholeTableAndClosesWithoutLeavingAHandle) {
    CRecorder events;
    CSerialLink link(&events);
    ASSERT_EQ(link.Open(m_strPort, kLineBaud, 7), 1) << link.LastError();
    EXPECT_EQ(ReadTable(link, events), 32);
    link.Close();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(link.IsWatching());

    // Every cycle's handles and thread are gone again by its Close.
    DWORD before = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(link.Open(m_strPort, kLineBaud, 7), 1) << link.LastError();
        link.Close();
    }
    DWORD after = 0;
    ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(events.Lost(), 0);
}

TEST_F(SimulatorPort, SecondOpenIsRefusedWhileTheFirstHoldsThePort) {
    if (UnderWine()) GTEST_SKIP() << "Wine lets a second CreateFile with share mode 0 open a pty";
    CSerialLink first;
    CSerialLink second;
    ASSERT_EQ(first.Open(m_strPort, kLineBaud, 1), 1) << first.LastError();
    EXPECT_EQ(second.Open(m_strPort, kLineBaud, 2), 0);
    EXPECT_EQ(second.LastError().rfind(m_strPort + ": ", 0), 0u) << second.LastError();
}

// The driver's simulator hangs up after a few frames.
TEST_F(SimulatorPort, HangUpEndsTheWatcherWithOneLostReportAndNoSpin) {
    CRecorder events;
    CSerialLink link(&events);
    ASSERT_EQ(link.Open(m_strPort, kLineBaud, 3), 1) << link.LastError();
    EXPECT_LT(ReadTable(link, events), 32);
    ASSERT_TRUE(events.WaitFor([](CRecorder& r) { return r.m_nLost != 0; }));
    EXPECT_FALSE(link.IsWatching());

    // A watcher that spun on the dead port would burn its core here.
    const auto cpu = [] {
        FILETIME created, exited, kernel, user;
        ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
        const auto ticks = [](const FILETIME& t) {
            return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
    };
    const auto start = cpu();
    ::Sleep(1000);
    EXPECT_LT(cpu() - start, 100ms);
    EXPECT_EQ(events.Lost(), 1) << events.m_strLost;
    EXPECT_EQ(events.m_strLost.rfind(m_strPort + ": ", 0), 0u) << events.m_strLost;
    link.Close();
}

}  // namespace
}  // namespace keltrove
