#include <gtest/gtest.h>

#include <algorithm>

#include "Fakes.h"
#include "ProtocolSession.h"

namespace keltrove {
namespace {

using test::Report;

class Session : public ::testing::Test {
protected:
    Session() { m_Session.OnInitDialog(); }

    void Receive(std::string_view bytes) {
        m_Link.Receive(bytes);
        m_Session.OnRxNotify();
    }
    void Ticks(unsigned timer, int n) {
        for (int i = 0; i < n; ++i) m_Session.OnTimer(timer);
    }
    int Count(std::string_view event) const {
        return static_cast<int>(std::count(m_Timeline.begin(), m_Timeline.end(), event));
    }
    std::vector<std::string> Only(std::string_view prefix) const {
        std::vector<std::string> out;
        for (const auto& e : m_Timeline)
            if (e.starts_with(prefix)) out.push_back(e);
        return out;
    }

    test::Timeline m_Timeline;
    test::FakeLink m_Link{m_Timeline};
    test::FakeView m_View{m_Timeline};
    test::FakePause m_Pause{m_Timeline};
    CProtocolSession m_Session{m_View, m_Link, m_Pause};
};

const std::string kNotConnectedYesNo = "box:DERID Not Connected [Yes/No]";
const std::string kReading = "status:" + std::string(kStatusReading);

TEST_F(Session, ReadRequestCarriesTheLastEntryFrameOfAWrite) {
    m_Session.OnRead();
    EXPECT_EQ(m_Timeline.back(), "tx:01 40 30 30 30 30 30 03");

    m_View.Type(32, "1234");
    m_Session.OnWrite();
    m_Timeline.clear();
    m_Session.OnRead();
    EXPECT_EQ(m_Timeline, (test::Timeline{"tx:01 40 20 31 32 33 34 03"}));
    m_Session.SendTxFrame();  // the raw send repeats the frame unchanged
    EXPECT_EQ(m_Timeline.back(), "tx:01 40 20 31 32 33 34 03");
}

TEST_F(Session, WriteSendsAllFramesInOrderWithItsPauses) {
    m_View.Type(1, "7");
    m_View.Type(2, "12 ");
    m_View.Type(32, "A1");
    EXPECT_TRUE(m_Session.OnWrite());

    test::Timeline expected{"tx:01 10 30 30 30 30 30 03", "pause:100",
                            "status:" + std::string(kStatusWriting)};
    const char* values[33] = {};
    values[1] = "30 30 30 37";
    values[2] = "30 30 31 32";
    values[32] = "30 30 41 31";
    for (int entry = 1; entry <= 32; ++entry) {
        char index[3];
        std::snprintf(index, sizeof index, "%02X", entry);
        expected.push_back(std::string("tx:01 30 ") + index + " " +
                           (values[entry] ? values[entry] : "30 30 30 30") + " 03");
        expected.push_back("pause:100");
    }
    expected.push_back("pause:100");
    expected.push_back("tx:01 90 20 30 30 41 31 03");
    expected.push_back("status:" + std::string(kStatusWriteDone));
    EXPECT_EQ(m_Timeline, expected);
    // The texts are kept as the fields showed them, not aligned.
    EXPECT_EQ(m_Session.EntryText()[1], "12 ");
}

TEST_F(Session, WriteStopsAtTheFirstFrameThatDoesNotGoOut) {
    m_Link.FailAfter(3);  // begin, entry 1 and entry 2 go out; entry 3 does not
    EXPECT_FALSE(m_Session.OnWrite());
    const test::Timeline tail(m_Timeline.end() - 3, m_Timeline.end());
    EXPECT_EQ(tail, (test::Timeline{"lost:01 30 03 30 30 30 30 03",
                                    "status:" + std::string(kStatusWriteFailed),
                                    "box:DERID Not Connected [OK]"}));
    EXPECT_EQ(Only("tx:").size(), 3u);
    EXPECT_EQ(Only("pause:").size(), 3u);

    m_Timeline.clear();
    m_Link.FailAfter(0);  // no port at all: nothing after the begin frame, not even a pause
    EXPECT_FALSE(m_Session.OnWrite());
    EXPECT_EQ(m_Timeline.size(), 3u);
    EXPECT_EQ(Count("status:" + std::string(kStatusWriteDone)), 0);
}

TEST_F(Session, ReportShowsItsValueInTheValueFontAndStopsTheWatchdog) {
    m_Session.OnRead();
    Receive(Report(5, "1234"));
    EXPECT_EQ(m_View.Field(5), "1234");
    EXPECT_EQ(m_View.m_ValueFont, std::set<int>{5});
    EXPECT_EQ(Only("status:"), test::Timeline{kReading});
    Ticks(kTimerWatchdog, 10);
    EXPECT_EQ(Count(kNotConnectedYesNo), 0);
}

TEST_F(Session, ReportsOutsideTheTableAreAcceptedButChangeNoEntry) {
    m_Session.OnRead();
    m_View.Type(3, "99");
    Receive(Report(0, "1111") + Report(33, "2222") + Report(255, "3333"));
    EXPECT_EQ(Count(kReading), 3);
    EXPECT_TRUE(m_View.m_ValueFont.empty());
    EXPECT_EQ(m_View.Field(3), "");  // refreshed: the read emptied the texts
    Ticks(kTimerWatchdog, 10);
    EXPECT_EQ(Count(kNotConnectedYesNo), 0);
}

TEST_F(Session, NoiseAndPartialFramesLeaveTypedTextAlone) {
    m_View.Type(9, "42");
    const int refreshes = m_View.m_Refreshes;
    Receive("\x7F\x02junk");
    Receive(Report(9, "0009").substr(0, 5));
    Receive(std::string("\x01\x40\x30\x30\x30\x30\x30\x03", 8));  // an echo of our request
    m_Session.OnRxNotify();                                       // an empty drain
    EXPECT_EQ(m_View.m_Refreshes, refreshes);
    EXPECT_EQ(m_View.Field(9), "42");
}

TEST_F(Session, ABatchWithTheWholeAnswerShowsEveryEntry) {
    std::string answer;
    for (int entry = 1; entry <= 32; ++entry) answer += Report(entry, std::to_string(entry));
    m_Session.OnRead();
    Receive(answer);
    for (int entry = 1; entry <= 32; ++entry) {
        const auto value = AlignValue(std::to_string(entry));
        EXPECT_EQ(m_View.Field(entry), std::string(value.begin(), value.end()));
    }
    EXPECT_EQ(m_View.m_ValueFont.size(), 32u);
    EXPECT_EQ(Only("status:").back(), "status:" + std::string(kStatusReadDone));
}

TEST_F(Session, WatchdogFiresOnTheFifthTickAndShowsOneBox) {
    m_View.Type(1, "old");
    m_Session.OnRead();
    Ticks(kTimerWatchdog, 4);
    EXPECT_EQ(Count(kNotConnectedYesNo), 0);
    // While the box is up its event loop keeps ticking every timer.
    m_View.m_WhileBoxOpen = [this] {
        Ticks(kTimerWatchdog, 20);
        Ticks(kTimerRxGap, 20);
    };
    Ticks(kTimerWatchdog, 1);
    EXPECT_EQ(Count(kNotConnectedYesNo), 1);
    Ticks(kTimerWatchdog, 20);
    EXPECT_EQ(Count(kNotConnectedYesNo), 1);
    EXPECT_EQ(m_View.Field(1), "old");  // the watchdog does not refresh

    // Every read re-arms it, even one already counting.
    m_Session.OnRead();
    Ticks(kTimerWatchdog, 3);
    m_Session.OnRead();
    Ticks(kTimerWatchdog, 4);
    EXPECT_EQ(Count(kNotConnectedYesNo), 1);
    Ticks(kTimerWatchdog, 1);
    EXPECT_EQ(Count(kNotConnectedYesNo), 2);
}

TEST_F(Session, ReportsArrivingWhileTheBoxIsUpAreShown) {
    m_Session.OnRead();
    m_View.m_WhileBoxOpen = [this] { Receive(Report(12, "1212")); };
    Ticks(kTimerWatchdog, 5);
    EXPECT_EQ(m_View.Field(12), "1212");
    EXPECT_EQ(Count(kNotConnectedYesNo), 1);
}

TEST_F(Session, EvaluateOnRequestNeverMixesAPartialFrameWithTheLastOne) {
    EXPECT_FALSE(m_Session.EvaluateRxFrame());  // nothing received yet
    Receive(Report(6, "0606"));
    Receive(Report(7, "0707").substr(0, 3));
    m_View.Type(6, "x");
    EXPECT_TRUE(m_Session.EvaluateRxFrame());  // entry 6's report once more
    EXPECT_EQ(m_View.Field(6), "0606");
    EXPECT_EQ(m_View.Field(7), "");
    Receive(Report(7, "0707").substr(3));  // the assembly under way went on undisturbed
    EXPECT_EQ(m_View.Field(7), "0707");
}

}  // namespace
}  // namespace keltrove
