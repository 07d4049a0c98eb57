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

class LinkReports : public ::testing::Test {
protected:
    // Takes what was posted so far on the window's side, as its event loop would, into
    // m_Got: "notify", "full COM1 2048", "changed COM1". A queue-full report is shown, and
    // `m_WhileShown` runs meanwhile, as the box's own loop would let the watcher go on.
    void DeliverPosted() {
        std::vector<LinkReport> posted;
        {
            const std::lock_guard lock(m_Mutex);
            posted.swap(m_Posted);
        }
        for (const LinkReport& report : posted) {
            const std::optional<LinkReport> taken = m_Reports.Receive(report);
            if (!taken) continue;
            const std::string port = " COM" + std::to_string(taken->portTag);
            if (taken->kind == LinkReport::Kind::Notify) m_Got.push_back("notify");
            if (taken->kind == LinkReport::Kind::PortChanged) m_Got.push_back("changed" + port);
            if (taken->kind != LinkReport::Kind::QueueFull) continue;
            m_Got.push_back("full" + port + " " + std::to_string(taken->dropped));
            if (m_WhileShown) std::exchange(m_WhileShown, nullptr)();
            m_Reports.QueueFullShown(taken->portTag);
        }
    }
    std::size_t Posted() {
        const std::lock_guard lock(m_Mutex);
        return m_Posted.size();
    }

    std::mutex m_Mutex;
    std::vector<LinkReport> m_Posted;
    std::vector<std::string> m_Got;
    std::function<void()> m_WhileShown;
    CLinkReports m_Reports{[this](LinkReport report) {
        const std::lock_guard lock(m_Mutex);
        m_Posted.push_back(std::move(report));
    }};
};

}  // namespace

// However fast the watcher reports, or an adapter comes and goes, one notification, one
// queue-full report and one port change wait at a time; the dropped bytes are added up, and those
// dropped while the report is shown are reported as soon as it closes.
TEST_F(LinkReports, AFloodLeavesOneReportOfEachKindWaiting) {
    std::thread watcher([this] {
        for (int i = 0; i < 100'000; ++i) m_Reports.OnRxNotify(1);
        for (int i = 0; i < 1000; ++i) m_Reports.OnQueueFull(1, 2048);
        for (int i = 0; i < 1000; ++i) m_Reports.OnPortChanged(1);
    });
    watcher.join();
    EXPECT_EQ(Posted(), 3u);
    m_WhileShown = [this] { m_Reports.OnQueueFull(1, 100); };
    DeliverPosted();
    EXPECT_EQ(Posted(), 1u);  // the 100 dropped while it was shown
    m_Reports.OnRxNotify(1);  // the drain has begun: new bytes bring a new notification
    m_Reports.OnQueueFull(1, 5);
    DeliverPosted();
    EXPECT_THAT(m_Got, ElementsAre("notify", "full COM1 2048000", "changed COM1", "full COM1 105",
                                   "notify"));
}
