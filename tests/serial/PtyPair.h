// PtyPair: a pseudo-terminal whose slave a CSerialLink opens by path while the test plays
// the device at the master, plus a fake window that records what the watcher reports.
#pragma once

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "FarEnd.h"
#include "PortDir.h"
#include "SerialLink.h"

namespace keltrove::test {

// Everything the watcher reported, in order.
struct LinkRecords {
    std::vector<std::uint16_t> notified;  // port IDs of OnRxNotify
    std::vector<std::uint32_t> dropped;   // byte counts of OnQueueFull
    std::vector<std::pair<std::uint16_t, std::string>> lost;
    std::string order;  // one letter per report: 'n'otify, 'f'ull queue, 'l'ost
};

class RecordingEvents final : public ILinkEvents {
public:
    void OnRxNotify(std::uint16_t portTag) override;
    void OnQueueFull(std::uint16_t portTag, std::uint32_t droppedBytes) override;
    void OnLinkLost(std::uint16_t portTag, std::string reason) override;

    LinkRecords Snapshot() const;
    // Waits until `done` holds for the records; false if it does not within 10 s, a deadline
    // that only guards against a hang.
    bool WaitFor(const std::function<bool(const LinkRecords&)>& done);
    bool WaitForNotifications(std::size_t count);

private:
    void Record(char kind, const std::function<void(LinkRecords&)>& change);

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    LinkRecords m_Records;
};

// Rechecks `count` until it gives `expected`, for counts the kernel settles a moment after
// the call that changed them (an exited thread leaves /proc/self/task when it is reaped).
// Returns the last count.
int SettledCount(const std::function<int()>& count, int expected);

class PtyPair : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The device side sends `bytes` at once.
    void WriteFar(const std::vector<std::uint8_t>& bytes) const {
        m_Far.Send(std::string(bytes.begin(), bytes.end()));
    }
    termios SlaveSettings() const;
    // Takes the window's side of the queue: everything held now.
    std::vector<std::uint8_t> TakeAll();

    CPortDir m_Dir;  // the lock folder is the test's own
    const std::string m_strLockDir = m_Dir.File("locks").string();
    CFarEnd m_Far;
    const int m_nSlave = m_Far.SlaveFd();
    const std::string m_strPath = m_Far.SlavePath();
    RecordingEvents m_Events;
    CSerialLink m_Link{&m_Events};
};

}  // namespace keltrove::test
