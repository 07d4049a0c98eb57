// The watcher's reports on their way to the window: how few wait however fast they come.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "LinkReports.h"

using namespace keltrove;
using ::testing::ElementsAre;

namespace {

// What reached the window's side, in order: "notify", "full COM1 2048", "lost COM1 why".
class CSink final : public ILinkReportSink {
public:
    void OnRxNotify() override { m_Got.push_back("notify"); }
    void OnQueueFull(std::uint16_t portTag, std::uint64_t droppedBytes) override {
        m_Got.push_back("full COM" + std::to_string(portTag) + " " + std::to_string(droppedBytes));
        if (m_WhileShown) std::exchange(m_WhileShown, nullptr)();  // the box's own loop
    }
    void OnLinkLost(std::uint16_t portTag, const std::string& reason) override {
        m_Got.push_back("lost COM" + std::to_string(portTag) + " " + reason);
    }

    std::vector<std::string> m_Got;
    std::function<void()> m_WhileShown;
};

class LinkReports : public ::testing::Test {
protected:
    // Hands what was posted so far to the window's side, as its event loop would.
    void DeliverPosted() {
        std::vector<LinkReport> posted;
        {
            const std::lock_guard lock(m_Mutex);
            posted.swap(m_Posted);
        }
        for (const LinkReport& report : posted) m_Reports.Deliver(report);
    }
    std::size_t Posted() {
        const std::lock_guard lock(m_Mutex);
        return m_Posted.size();
    }

    std::mutex m_Mutex;
    std::vector<LinkReport> m_Posted;
    CSink m_Sink;
    CLinkReports m_Reports{[this](LinkReport report) {
                               const std::lock_guard lock(m_Mutex);
                               m_Posted.push_back(std::move(report));
                           },
                           m_Sink};
};

}  // namespace

// However fast the watcher reports, one notification and one queue-full report wait at a
// time; the dropped bytes are added up, and those dropped while the report is shown are
// reported as soon as it closes.
TEST_F(LinkReports, AFloodLeavesOneReportOfEachKindWaiting) {
    std::thread watcher([this] {
        for (int i = 0; i < 100'000; ++i) m_Reports.OnRxNotify(1);
        for (int i = 0; i < 1000; ++i) m_Reports.OnQueueFull(1, 2048);
    });
    watcher.join();
    EXPECT_EQ(Posted(), 2u);
    m_Sink.m_WhileShown = [this] { m_Reports.OnQueueFull(1, 100); };
    DeliverPosted();
    EXPECT_EQ(Posted(), 1u);  // the 100 dropped while it was shown
    m_Reports.OnRxNotify(1);  // the drain has begun: new bytes bring a new notification
    m_Reports.OnQueueFull(1, 5);
    DeliverPosted();
    EXPECT_THAT(m_Sink.m_Got,
                ElementsAre("notify", "full COM1 2048000", "full COM1 105", "notify"));
}
