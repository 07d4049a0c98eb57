#include "PtyPair.h"

#include <thread>

namespace keltrove::test {

void RecordingEvents::Record(char kind, const std::function<void(LinkRecords&)>& change) {
    {
        std::lock_guard lock(m_Mutex);
        change(m_Records);
        m_Records.order += kind;
    }
    m_Changed.notify_all();
}

void RecordingEvents::OnRxNotify(std::uint16_t portTag) {
    Record('n', [&](LinkRecords& records) { records.notified.push_back(portTag); });
}

void RecordingEvents::OnQueueFull(std::uint16_t /*portTag*/, std::uint32_t droppedBytes) {
    Record('f', [&](LinkRecords& records) { records.dropped.push_back(droppedBytes); });
}

void RecordingEvents::OnLinkLost(std::uint16_t portTag, std::string reason) {
    Record('l',
           [&](LinkRecords& records) { records.lost.emplace_back(portTag, std::move(reason)); });
}

LinkRecords RecordingEvents::Snapshot() const {
    std::lock_guard lock(m_Mutex);
    return m_Records;
}

bool RecordingEvents::WaitFor(const std::function<bool(const LinkRecords&)>& done) {
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, std::chrono::seconds(10), [&] { return done(m_Records); });
}

bool RecordingEvents::WaitForNotifications(std::size_t count) {
    return WaitFor(
        [count](const LinkRecords& records) { return records.notified.size() >= count; });
}

int SettledCount(const std::function<int()>& count, int expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int now = count();
    while (now != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        now = count();
    }
    return now;
}

void PtyPair::SetUp() {
    // Sanitizer runtimes start a helper thread along with the first thread; let that happen
    // before a test counts the process's threads.
    std::thread([] {}).join();
}

void PtyPair::TearDown() {
    m_Link.Close();
    EXPECT_EQ(m_Dir.LockFiles(), 0) << "a lock file was left behind";
}

termios PtyPair::SlaveSettings() const {
    termios settings{};
    EXPECT_EQ(::tcgetattr(m_nSlave, &settings), 0);
    return settings;
}

std::vector<std::uint8_t> PtyPair::TakeAll() {
    std::vector<std::uint8_t> bytes(CByteQueue::kCapacity);
    bytes.resize(m_Link.TakeReceived(bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace keltrove::test
