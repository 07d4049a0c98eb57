#include <gtest/gtest.h>

#include <algorithm>

#include "Fakes.h"
#include "ProtocolSession.h"

namespace keltrove {
namespace {

using test::Report;

std::string Answer(int first, int last) {
    std::string answer;
    for (int entry = first; entry <= last; ++entry) answer += Report(entry, std::to_string(entry));
    return answer;
}

class Session : public ::testing::Test {
protected:
    Session() { m_Session.Start(); }

    void Receive(std::string_view bytes) {
        m_Link.Receive(bytes);
        m_Session.OnRxNotify();
    }
    void ReplyTicks(int n) {
        for (int i = 0; i < n; ++i) m_Session.OnReplyTick();
    }
    void GapTicks(int n) {
        for (int i = 0; i < n; ++i) m_Session.OnGapTick();
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
    std::string Last(std::string_view prefix) const {
        const auto events = Only(prefix);
        return events.empty() ? "" : events.back();
    }
    WriteOutcome Write() { return m_Session.OnWrite(m_View.m_Fields); }

    test::Timeline m_Timeline;
    test::FakeLink m_Link{m_Timeline};
    test::FakeView m_View{m_Timeline};
    test::FakePause m_Pause{m_Timeline};
    test::FakeTimers m_Timers;
    CProtocolSession m_Session{m_View, m_Link, m_Pause, m_Timers};
};

const std::string kNoReplyBox = "box:DERID Not Connected [Yes/No]";
const std::string kReading = "status:Reading....";
const std::string kReadDone = "status:Reading is completed";
const std::string kReadFailed = "status:Reading failed";

// A write's frames go out in order with their pauses; the next read request carries the
// last entry frame's bytes.
TEST_F(Session, WriteSendsAllFramesInOrderWithItsPauses) {
    m_View.Type(1, "7");
    m_View.Type(2, "12 ");
    m_View.Type(32, "A1");
    EXPECT_EQ(Write(), WriteOutcome::Completed);

    test::Timeline expected{"tx:01 10 30 30 30 30 30 03", "pause:100", "status:Writing...."};
    const char* values[33] = {};
    values[1] = "30 30 30 37";
    values[2] = "30 30 31 32";
    values[32] = "30 30 41 31";
    for (int entry = 1; entry <= 32; ++entry) {
        char index[3];
        std::snprintf(index, sizeof index, "%02x", entry);
        expected.push_back(std::string("tx:01 30 ") + index + " " +
                           (values[entry] ? values[entry] : "30 30 30 30") + " 03");
        expected.push_back("pause:100");
    }
    expected.push_back("pause:100");
    expected.push_back("tx:01 90 20 30 30 41 31 03");
    expected.push_back("status:Writing is Completed");
    EXPECT_EQ(m_Timeline, expected);
    // The texts are kept as given, not aligned.
    EXPECT_EQ(m_Session.EntryText()[1], "12 ");
    m_Timeline.clear();
    m_Session.OnRead();
    EXPECT_EQ(m_Timeline, (test::Timeline{"tx:01 40 20 30 30 41 31 03"}));
}

TEST_F(Session, WriteStopsAtTheFirstFrameThatDoesNotGoOut) {
    m_Link.FailAfter(3);  // begin, entry 1 and entry 2 go out; entry 3 does not
    EXPECT_EQ(Write(), WriteOutcome::Failed);
    const test::Timeline tail(m_Timeline.end() - 3, m_Timeline.end());
    EXPECT_EQ(tail, (test::Timeline{"lost:01 30 03 30 30 30 30 03", "status:Writing failed",
                                    "box:DERID Not Connected [OK]"}));
    EXPECT_EQ(Only("tx:").size(), 3u);
    EXPECT_EQ(Only("pause:").size(), 3u);

    m_Timeline.clear();
    m_Link.FailAfter(0);  // no port at all: nothing after the begin frame, not even a pause
    EXPECT_EQ(Write(), WriteOutcome::Failed);
    EXPECT_EQ(m_Timeline.size(), 3u);
}

TEST_F(Session, AWholeAnswerInOneBatchFillsEveryFieldWithOneRefresh) {
    m_Session.OnRead();
    const int refreshes = m_View.m_Refreshes;
    Receive(Answer(1, 32));
    EXPECT_EQ(m_View.m_Refreshes, refreshes + 1);
    for (int entry = 1; entry <= 32; ++entry) {
        const auto value = AlignValue(std::to_string(entry));
        EXPECT_EQ(m_View.Field(entry), std::string(value.begin(), value.end()));
    }
    EXPECT_EQ(m_View.m_Received.size(), 32u);
    EXPECT_EQ(Last("status:"), kReadDone);
    EXPECT_EQ(Last("ended:"), "ended:whole");
    EXPECT_TRUE(Only("box:").empty());
    EXPECT_FALSE(m_Timers.m_bReply);
}

TEST_F(Session, ReportsOutsideTheTableAreAcceptedButChangeNoEntry) {
    m_Session.OnRead();
    m_View.Type(3, "99");
    Receive(Report(0, "1111") + Report(33, "2222") + Report(255, "3333"));
    EXPECT_EQ(Count(kReading), 3);
    EXPECT_TRUE(m_View.m_Received.empty());
    EXPECT_EQ(m_View.Field(3), "");  // refreshed: the read emptied the texts
    ReplyTicks(4);
    EXPECT_TRUE(Only("box:").empty());  // a report came, so the first-report watchdog is off
}

TEST_F(Session, SilentDeviceGivesOneBoxAndAFailedRead) {
    m_View.m_Answer = MessageAnswer::No;  // "Read again now?"
    m_View.Type(1, "old");
    m_Session.OnRead();
    EXPECT_TRUE(m_Timers.m_bReply);
    ReplyTicks(4);
    EXPECT_TRUE(Only("box:").empty());
    // While the box is up its event loop keeps ticking every timer, and a late report
    // changes nothing: the read has failed.
    m_View.m_WhileBoxOpen = [this] {
        ReplyTicks(20);
        GapTicks(20);
        Receive(Report(1, "1111"));
    };
    ReplyTicks(1);
    EXPECT_EQ(Count(kNoReplyBox), 1);
    EXPECT_EQ(Last("status:"), kReadFailed);
    EXPECT_EQ(Last("ended:"), "ended:missing 1 to 32");
    EXPECT_EQ(m_View.Field(1), "old");  // the watchdog does not refresh
    EXPECT_FALSE(m_Session.IsReading());
    EXPECT_FALSE(m_Timers.m_bReply);  // nothing counts, so nothing ticks

    // Every read re-arms it, even one already counting.
    m_View.m_WhileBoxOpen = nullptr;
    m_Session.OnRead();
    ReplyTicks(3);
    m_Session.OnRead();
    ReplyTicks(4);
    EXPECT_EQ(Count(kNoReplyBox), 1);
    ReplyTicks(1);
    EXPECT_EQ(Count(kNoReplyBox), 2);

    // Yes reads again, exactly as Read would; a compare compares again.
    m_View.m_Answer = MessageAnswer::Yes;
    m_Session.OnRead(ReadMode::Compare);
    m_Timeline.clear();
    ReplyTicks(5);
    EXPECT_EQ(Only("tx:"), test::Timeline{"tx:01 40 30 30 30 30 30 03"});
    Receive(Answer(1, 32));
    EXPECT_EQ(Last("ended:"), "ended:whole");
    EXPECT_EQ(m_View.Field(1), "old");  // compared, not filled
}

TEST_F(Session, ADamagedReportFailsTheReadAndNamesItsEntry) {
    m_Session.OnRead();
    std::string answer = Answer(1, 32);
    answer[5 * 8 + 7] = 0x04;  // entry 6's end byte
    Receive(answer);
    EXPECT_EQ(Last("status:"), kReadFailed);
    EXPECT_EQ(Only("box:"),
              test::Timeline{"box:Entry not received: 6. Read again before writing. [OK]"});
    EXPECT_EQ(Last("ended:"), "ended:missing 6");
}

TEST_F(Session, OnlyNewEntriesKeepAReadGoing) {
    m_Session.OnRead();
    Receive(Answer(1, 20));
    ReplyTicks(19);  // a slow panel: nearly a second between reports still reads on
    Receive(Answer(21, 21));
    ReplyTicks(10);
    Receive(Answer(1, 21));  // repeats buy no time
    ReplyTicks(9);
    EXPECT_EQ(Last("status:"), kReading);
    ReplyTicks(1);
    EXPECT_EQ(Last("status:"), kReadFailed);
    EXPECT_EQ(
        Only("box:"),
        test::Timeline{"box:Entries not received: 22 to 32. Read again before writing. [OK]"});
    // A late report answers nothing asked: no field changes, and the status stands.
    Receive(Report(22, "0022"));
    EXPECT_EQ(m_View.Field(22), "");
    EXPECT_EQ(Last("status:"), kReadFailed);
}

TEST_F(Session, AfterAFailedReadWriteAsksBeforeSendingWhatTheReadLeftEmpty) {
    // Before anything was read, Save has the empty entries to name; Write does not ask.
    EXPECT_EQ(m_Session.NotFromPanelIn(m_View.m_Fields), EntrySet::All());
    EXPECT_TRUE(m_Session.UnreadIn(m_View.m_Fields).Empty());
    m_Session.OnRead();
    Receive(Answer(1, 11));
    m_Session.OnPortClosed();  // the line dropped at entry 12
    EXPECT_EQ(Last("status:"), kReadFailed);
    EXPECT_TRUE(Only("box:").empty());  // the front end's "connection lost" says it

    m_View.m_Answer = MessageAnswer::No;
    m_Timeline.clear();
    EXPECT_EQ(Write(), WriteOutcome::Declined);
    EXPECT_EQ(m_Timeline, test::Timeline{"box:Entries 12 to 32 were not read from the panel and "
                                         "will be written as 0000. Write anyway? [Yes/No]"});

    // Only what still stands as the read left it is asked about.
    for (int entry = 12; entry <= 31; ++entry) m_View.Type(entry, "7");
    m_Timeline.clear();
    EXPECT_EQ(Write(), WriteOutcome::Declined);
    EXPECT_EQ(Only("box:").front().substr(0, 14), "box:Entry 32 w");
    m_View.Type(32, "7");
    EXPECT_EQ(Write(), WriteOutcome::Completed);

    // A whole read clears it too.
    m_Session.OnRead();
    Receive(Answer(1, 5));
    m_Session.OnPortClosed();
    m_Session.OnRead();
    Receive(Answer(1, 32));
    m_Timeline.clear();
    EXPECT_EQ(Write(), WriteOutcome::Completed);
    EXPECT_TRUE(Only("box:").empty());
}

// A write is confirmed only by reports that follow its read-back request, which goes out
// after the same quiet pause as the write end; what came before it (an echo of each frame,
// the tail of an earlier answer) is dropped.
TEST_F(Session, OnlyReportsAfterTheReadBackRequestConfirmAWrite) {
    m_View.Type(7, "77");
    m_Pause.m_WhilePaused = [this] { m_Link.Receive(Report(7, "0077")); };  // echoes
    EXPECT_EQ(m_Session.OnWrite(m_View.m_Fields, WriteCheck::ReadBack), WriteOutcome::ReadingBack);
    m_Pause.m_WhilePaused = nullptr;
    EXPECT_EQ(m_Link.ReceivedCount(), 0u);
    const test::Timeline tail(m_Timeline.end() - 3, m_Timeline.end());
    EXPECT_EQ(tail, (test::Timeline{"tx:01 90 20 30 30 30 30 03", "pause:200",
                                    "tx:01 40 20 30 30 30 30 03"}));
    EXPECT_TRUE(m_Session.IsReading());
    Receive("junk");
    ReplyTicks(5);
    EXPECT_EQ(Last("readback:"),
              "readback:the panel did not answer the read-back (no report within 0.25 s; 6 bytes "
              "came, none of them a report)");
    EXPECT_EQ(Last("status:"), "status:Writing failed");
    EXPECT_TRUE(Only("box:").empty());  // the front end says why
    EXPECT_EQ(m_View.Field(7), "77");   // a read-back shows nothing in the fields

    // A panel that holds something else is named; one that holds the table confirms it.
    const auto held = [](const std::string& seventh) {
        std::string answer;
        for (int entry = 1; entry <= 32; ++entry)
            answer += Report(entry, entry == 7 ? seventh : "");
        return answer;
    };
    m_Session.OnWrite(m_View.m_Fields, WriteCheck::ReadBack);
    Receive(held("0070"));
    EXPECT_EQ(Last("readback:"), "readback:entry 7 read back otherwise");
    m_Session.OnWrite(m_View.m_Fields, WriteCheck::ReadBack);
    Receive(held("77"));
    EXPECT_EQ(Last("readback:"), "readback:confirmed");
    EXPECT_EQ(Last("status:"), "status:Writing is Completed");
    EXPECT_EQ(Count(kReading), 0);  // the read-back never says "Reading...."
}

TEST_F(Session, AChangeOfPortDropsTheUnfinishedFrameAndTheQueuedBytes) {
    const std::string report = Report(1, "AABB");
    Receive(report.substr(0, 5));
    m_Link.Receive(Report(2, "0002"));  // queued, not yet drained
    m_Session.OnPortClosed();
    EXPECT_EQ(m_Link.ReceivedCount(), 0u);
    EXPECT_FALSE(m_Timers.m_bGap);
    Receive(report.substr(5) + Report(3, "CCDD"));  // the next port's bytes
    EXPECT_EQ(m_View.Field(1), "");
    EXPECT_EQ(m_View.Field(2), "");
    EXPECT_EQ(m_View.Field(3), "CCDD");
}

TEST_F(Session, ADrainTakesOnlyWhatWaitedWhenItBegan) {
    // The watcher keeps storing while the window drains: a flood must not hold it there.
    int stored = 0;
    m_Link.m_WhileTaking = [&] {
        if (stored++ < 1000) m_Link.Receive(Answer(1, 32));
    };
    m_Link.Receive(Answer(1, 32));
    m_Session.OnRxNotify();
    EXPECT_EQ(stored, 1);  // one take: the 256 bytes that waited
    EXPECT_EQ(m_Link.ReceivedCount(), 256u);
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

class TraceRecorder : public IWireTrace {
public:
    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override {
        lines.push_back(TraceLine({}, "COM1", event, bytes).substr(19));
    }
    std::vector<std::string> lines;
};

// Noise, a report cut short and an echo of the request change no field; the trace sees
// every frame and every byte given up.
TEST_F(Session, TheTraceSeesWhatNoiseAndCutFramesLeaveAlone) {
    TraceRecorder trace;
    m_Session.SetTrace(&trace);
    m_View.Type(9, "42");
    const int refreshes = m_View.m_Refreshes;
    Receive("\x7F\x02" + Report(9, "0009").substr(0, 3));
    GapTicks(20);
    Receive(std::string("\x01\x40\x30\x30\x30\x30\x30\x03", 8));  // an echo of our request
    m_Session.OnRxNotify();                                       // an empty drain
    EXPECT_EQ(m_View.m_Refreshes, refreshes);
    EXPECT_EQ(m_View.Field(9), "42");
    m_Session.OnRead();
    Receive(Report(1, "0001"));
    EXPECT_EQ(trace.lines, (std::vector<std::string>{
                               "rx noise 7f 02",
                               "rx cut short 01 50 09",
                               "rx 01 40 30 30 30 30 30 03",
                               "tx 01 40 30 30 30 30 30 03",
                               "rx 01 50 01 30 30 30 31 03",
                           }));
}

}  // namespace
}  // namespace keltrove
