// The simulator's logic without a line: table file, model, receiver, answer shaping and
// session, driven with made-up times. What Keltrove's own dialog cannot tell apart is
// checked here; reads, writes, answer modes and hang-ups as it sees them are end-to-end tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "AnswerShaper.h"
#include "DeviceFrames.h"
#include "DeviceSession.h"
#include "PanelBench.h"
#include "RxAssembler.h"

namespace keltrove::device {
namespace {

using namespace std::chrono_literals;

StoredValue Value(std::string_view four) {
    StoredValue value{};
    std::copy(four.begin(), four.end(), value.begin());
    return value;
}

TimePoint At(Nanos sinceStart) {
    return TimePoint{} + 1h + sinceStart;
}

TEST(DeviceModel, WriteStoresTheEntriesItSentOnlyAtWriteEnd) {
    CDeviceModel model(DefaultTable());
    EXPECT_EQ(model.Handle(Entry(3, "1234")).reason, IgnoreReason::NoWriteUnderWay);
    EXPECT_EQ(model.Handle(kEnd).reason, IgnoreReason::NoWriteUnderWay);

    model.Handle(kBegin);
    model.Handle(Entry(5, "77"));
    model.Handle(Entry(5, "78"));  // the later frame for an entry wins
    Frame unaligned = Entry(9, "1234");
    std::copy_n("12 \0", 4, unaligned.begin() + 3);
    model.Handle(unaligned);
    EXPECT_EQ(model.Handle(Entry(0, "1")).reason, IgnoreReason::EntryOutOfRange);
    EXPECT_EQ(model.Handle(Entry(33, "1")).reason, IgnoreReason::EntryOutOfRange);
    EXPECT_EQ(model.Table(), DefaultTable());

    EXPECT_EQ(model.Handle(kEnd).count, 2);
    DeviceTable expected = DefaultTable();
    expected[4] = Value("0078");
    expected[8] = Value({"12 \0", 4});
    EXPECT_EQ(model.Table(), expected);
    // Reported as stored, not re-aligned: the device must not hide what the program sent.
    const Frame report = model.Handle(kRead).replies[8];
    EXPECT_TRUE(std::equal(report.begin() + 3, report.begin() + 7, unaligned.begin() + 3));
}

TEST(DeviceModel, UnfinishedWriteChangesNothing) {
    CDeviceModel model(DefaultTable());
    const auto writeAll = [&model](char digit) {
        model.Handle(kBegin);
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            model.Handle(Entry(entry, std::string(1, digit)));
        }
    };
    writeAll('8');
    EXPECT_TRUE(model.Handle(kRead).abandonedWrite);  // the program gave up on the write
    EXPECT_EQ(model.Handle(kEnd).action, FrameAction::Ignored);

    writeAll('7');
    EXPECT_TRUE(model.Handle(kBegin).abandonedWrite);  // only the new write counts
    model.Handle(Entry(1, "1111"));
    EXPECT_EQ(model.Handle(kEnd).count, 1);

    writeAll('6');
    EXPECT_TRUE(model.AbandonWrite());  // the port closed
    EXPECT_EQ(model.Handle(kEnd).action, FrameAction::Ignored);

    DeviceTable expected = DefaultTable();
    expected[0] = Value("1111");
    EXPECT_EQ(model.Table(), expected);
}

TEST(FrameReceiver, DropsAFrameWhoseBytesStopForLongerThanTheGap) {
    CFrameReceiver receiver;
    const std::span read(kRead);
    receiver.Push(read.first(5), At(0ms));
    EXPECT_EQ(receiver.Push(read.subspan(5), At(5ms)).frames.size(), 1u);

    // Half a frame, then a quiet line: its end must not complete it with the next frame.
    receiver.Push(read.first(5), At(1s));
    std::vector<std::uint8_t> late(read.begin() + 5, read.end());
    late.insert(late.end(), kBegin.begin(), kBegin.end());
    const auto result = receiver.Push(late, At(1s + CFrameReceiver::kByteGap + 1ms));
    EXPECT_TRUE(result.droppedPartial);
    EXPECT_EQ(result.frames, std::vector<Frame>{kBegin});
}

// Split pieces with noise and a reply gap, over many seeds.
TEST(AnswerShaper, SplitNoisyAnswersKeepEveryReportAndEveryGap) {
    const std::vector<Frame> reports = Reports(DefaultTable());
    const auto shape = [&reports](std::uint32_t seed) {
        std::mt19937 random(seed);
        return CAnswerShaper({AnswerMode::Split, kLineBaud, 30ms, true}, random).Shape(reports);
    };
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        const Answer answer = shape(seed);
        std::vector<std::size_t> gapsAt;  // where the noise before reports 2 to 32 starts
        for (const TxSegment& segment : answer.segments) {
            if (segment.isFrame) continue;
            EXPECT_EQ(std::count(segment.bytes.begin(), segment.bytes.end(), kFrameStart), 0);
            if (segment.end > segment.bytes.size())
                gapsAt.push_back(segment.end - segment.bytes.size());
        }
        ASSERT_EQ(gapsAt.size(), 31u);

        CRxAssembler assembler;  // the program's
        std::vector<Frame> found;
        std::size_t start = 0;
        bool cutInsideAFrame = false;
        for (const TxPiece& piece : answer.pieces) {
            const std::size_t end = start + piece.bytes.size();
            const auto gapsBefore = std::count_if(gapsAt.begin(), gapsAt.end(),
                                                  [start](std::size_t at) { return at <= start; });
            EXPECT_EQ(piece.at, LineTime(start, kLineBaud) + gapsBefore * Nanos{30ms});
            // A piece is written at once, so a gap inside it would be lost.
            EXPECT_EQ(std::count_if(gapsAt.begin(), gapsAt.end(),
                                    [&](std::size_t at) { return at > start && at < end; }),
                      0);
            for (const std::uint8_t byte : piece.bytes) {
                if (const RxStep step = assembler.Push(byte); step.frame) {
                    found.push_back(*step.frame);
                }
            }
            cutInsideAFrame = cutInsideAFrame || assembler.IsCollecting();
            start = end;
        }
        EXPECT_EQ(found, reports) << "seed " << seed;
        EXPECT_TRUE(cutInsideAFrame) << "seed " << seed;
    }
    // --seed repeats a run.
    const Answer once = shape(42), again = shape(42);
    EXPECT_TRUE(std::equal(once.pieces.begin(), once.pieces.end(), again.pieces.begin(),
                           again.pieces.end(),
                           [](const TxPiece& a, const TxPiece& b) { return a.bytes == b.bytes; }));
}

class DeviceSession : public ::testing::Test {
protected:
    void Start(SessionOptions options) {
        m_Session.emplace(DefaultTable(), options, m_Random, m_Log);
    }
    void Receive(std::span<const Frame> frames, Nanos at) {
        m_Session->OnReceived(Bytes(frames), At(at));
    }
    void Receive(const Frame& frame, Nanos at) { Receive(std::span(&frame, 1), at); }

    // Writes each byte when it is due, up to `until`, at most `limit` bytes a write.
    std::vector<std::uint8_t> RunLine(Nanos until, std::size_t limit = SIZE_MAX) {
        std::vector<std::uint8_t> sent, due;
        while (m_Session->NextDue() && *m_Session->NextDue() <= At(until)) {
            m_Session->TakeDue(*m_Session->NextDue(), due);
            if (due.empty()) break;  // the line must hang up
            due.resize(std::min(due.size(), limit));
            sent.insert(sent.end(), due.begin(), due.end());
            m_Session->OnWritten(due.size());
        }
        return sent;
    }

    std::vector<std::uint8_t> ReportBytes(int entry, std::string_view value) {
        const Frame report = EntryReport(entry, Value(value));
        return {report.begin(), report.end()};
    }

    struct CNoLog : ILineLog {
        void Line(std::string_view) override {}
    } m_Log;
    std::mt19937 m_Random{1};
    std::optional<CDeviceSession> m_Session;
};

TEST_F(DeviceSession, PacedAnswersKeepToTheLineAndShortWritesLoseNothing) {
    const std::vector<std::uint8_t> full = Bytes(Reports(DefaultTable()));
    Start({});
    Receive(kRead, 0ms);
    std::vector<std::uint8_t> due;
    m_Session->TakeDue(At(0ms), due);
    EXPECT_EQ(due.size(), 1u);  // nothing runs ahead of the line
    m_Session->TakeDue(At(LineTime(10, kLineBaud)), due);
    EXPECT_EQ(due.size(), 11u);
    EXPECT_EQ(RunLine(1s), full);

    SessionOptions burst;
    burst.shape.mode = AnswerMode::Burst;
    Start(burst);
    Receive(kRead, 0ms);
    EXPECT_EQ(RunLine(0ms, 100), full);  // three short writes
}

TEST_F(DeviceSession, TheLineGoingAwayEndsWhatIsUnderWay) {
    SessionOptions options;
    options.hangupAfter = 5;
    Start(options);
    std::vector<Frame> write{kBegin};
    for (int entry = 1; entry <= kEntryCount; ++entry) write.push_back(Entry(entry, "9"));
    write.push_back(kEnd);
    Receive(write, 0ms);  // in one read: the frames after the 5th are never handled
    EXPECT_TRUE(m_Session->HangupDue());
    m_Session->OnHungUp();
    Receive(kEnd, 1s);
    EXPECT_EQ(m_Session->Model().Table(), DefaultTable());

    // The program closes the port in the middle of an answer and of a write.
    Receive(kRead, 2s);
    EXPECT_EQ(RunLine(2s + 5ms).size(), 5u);
    const Frame writeStart[] = {kBegin, Entry(1, "1")};
    Receive(writeStart, 2s + 6ms);
    m_Session->OnPortClosed();
    EXPECT_FALSE(m_Session->NextDue());  // the rest of the answer is not for the next user
    Receive(kEnd, 3s);
    EXPECT_EQ(m_Session->Model().Table(), DefaultTable());
}

// A panel that echoes each entry frame, stores nothing and never answers a read; and one
// that answers late.
TEST_F(DeviceSession, EchoesGoAtOnceAndAnswersAfterTheDelay) {
    SessionOptions options;
    options.silent = true;
    options.panel = {.echoWrites = true, .ignoreWrites = true};
    options.answerDelay = 260ms;  // not for echoes
    Start(options);
    const Frame write[] = {kBegin, Entry(5, "77"), kEnd, kRead, Entry(40, "1")};
    Receive(write, 0ms);
    EXPECT_EQ(m_Session->NextDue(), At(0ms));
    std::vector<std::uint8_t> echoes = ReportBytes(5, "0077");
    const Frame outOfRange = EntryReport(40, Value("0001"));  // echoed as it came
    echoes.insert(echoes.end(), outOfRange.begin(), outOfRange.end());
    EXPECT_EQ(RunLine(1s), echoes);
    EXPECT_EQ(m_Session->Model().Table(), DefaultTable());

    options = {};
    options.answerDelay = 260ms;
    Start(options);
    Receive(kRead, 0ms);
    EXPECT_EQ(m_Session->NextDue(), At(260ms));
    EXPECT_EQ(RunLine(260ms + LineTime(7, kLineBaud)), ReportBytes(1, "0101"));
}

TEST(PanelList, NamesTablesWithBlanksAndPointsAtBadLines) {
    const PanelListParse good =
        ParsePanelList("# panel  stay  gap\n\n  zeros 100 0\r\nmy table.txt\t2000   500\n");
    ASSERT_TRUE(good.problems.empty());
    ASSERT_EQ(good.panels.size(), 2u);
    EXPECT_EQ(good.panels[0].panel.table, BuiltInTable("zeros"));
    EXPECT_EQ(good.panels[1].panel.name, "my table.txt");
    EXPECT_EQ(good.panels[1].stay, 2000ms);
    EXPECT_EQ(good.panels[1].gap, 500ms);

    const PanelListParse bad =
        ParsePanelList("zeros 100\ndefault 1 \x1b\ndefault 86400001 0\n100 200\n");
    std::vector<int> lines;
    for (const TableProblem& problem : bad.problems) lines.push_back(problem.line);
    EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_NE(bad.problems[1].message.find("\"default 1 \\x1B\" is not a panel line"),
              std::string::npos)
        << bad.problems[1].message;
    EXPECT_EQ(ParsePanelList("# nothing\n").problems.at(0).message, "lists no panel");
}

// A bench on the list's timeline: while no panel is there nothing answers or stores, each
// panel has its own table and keeps what was written to it until it goes.
TEST_F(DeviceSession, PanelsComeAndGoOnTheListsTimeline) {
    Start({});
    std::vector<std::string> said;
    CPanelBench bench(*m_Session, m_Log, [&said](const std::string& line) { said.push_back(line); },
                      {"default", DefaultTable()});
    const PanelListParse list = ParsePanelList("default 1000 500\nzeros 1000 0\n");
    bench.Start(list.panels, At(0ms));

    const Frame write[] = {kBegin, Entry(5, "77"), kEnd, kRead};
    Receive(write, 10ms);
    const std::vector<std::uint8_t> answer = RunLine(500ms);
    ASSERT_EQ(answer.size(), 256u);
    EXPECT_TRUE(
        std::equal(answer.begin() + 32, answer.begin() + 40, ReportBytes(5, "0077").begin()));
    Receive(kRead, 900ms);  // its answer is cut off by the panel going
    bench.OnTime(At(1000ms));
    EXPECT_FALSE(m_Session->NextDue());
    Receive(write, 1200ms);
    EXPECT_FALSE(m_Session->NextDue());
    EXPECT_EQ(bench.NextChange(), At(1500ms));

    bench.OnTime(At(1500ms));
    Receive(write, 1600ms);
    DeviceTable written = *BuiltInTable("zeros");
    written[4] = Value("0077");
    EXPECT_EQ(m_Session->Model().Table(), written);
    bench.OnTime(At(9s));  // woken late: every change that is due is made
    EXPECT_FALSE(bench.NextChange());
    EXPECT_EQ(said, (std::vector<std::string>{
                        "panel 1 connected (default)", "panel 1 disconnected (writes stored: 1)",
                        "panel 2 connected (zeros)", "panel 2 disconnected (writes stored: 1)"}));
}

}  // namespace
}  // namespace keltrove::device
