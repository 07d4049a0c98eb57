#include <gtest/gtest.h>

#include <algorithm>

#include "DeviceSession.h"
#include "DeviceTestSupport.h"

namespace keltrove::device {
namespace {

using namespace std::chrono_literals;
using test::At;
using test::CommandFrame;
using test::WriteEntryFrame;

struct Written {
    TimePoint at;
    std::vector<std::uint8_t> bytes;
};

class DeviceSessionTest : public ::testing::Test {
protected:
    void Start(SessionOptions options) {
        m_Session.emplace(DefaultTable(), options, m_Random, m_Log);
    }
    void Receive(std::span<const Frame> frames, Nanos at) {
        const std::vector<std::uint8_t> bytes = test::Bytes(frames);
        m_Session->OnReceived(bytes, At(at));
    }
    void Receive(const Frame& frame, Nanos at) { Receive(std::span(&frame, 1), at); }

    // Plays the line: writes each byte when it is due, as far as `until`, taking at most
    // `limit` bytes per write.
    std::vector<Written> RunLine(Nanos until, std::size_t limit = SIZE_MAX) {
        std::vector<Written> writes;
        std::vector<std::uint8_t> due;
        while (m_Session->NextDue() && *m_Session->NextDue() <= At(until) &&
               !m_Session->HangupDue()) {
            const TimePoint now = *m_Session->NextDue();
            m_Session->TakeDue(now, due);
            due.resize(std::min(due.size(), limit));
            writes.push_back({now, due});
            m_Session->OnWritten(due.size());
        }
        return writes;
    }
    static std::vector<std::uint8_t> Joined(const std::vector<Written>& writes) {
        std::vector<std::uint8_t> bytes;
        for (const Written& w : writes) bytes.insert(bytes.end(), w.bytes.begin(), w.bytes.end());
        return bytes;
    }
    std::vector<std::uint8_t> FullAnswer() const {
        CDeviceModel model(DefaultTable());
        return test::Bytes(model.Handle(CommandFrame(Command::ReadRequest)).replies);
    }

    std::mt19937 m_Random{1};
    test::CRecordingLog m_Log;
    std::optional<CDeviceSession> m_Session;
    const Frame m_Read = CommandFrame(Command::ReadRequest);
};

TEST_F(DeviceSessionTest, PacesTheAnswerAtTheBaudRate) {
    Start({});
    Receive(m_Read, 0ms);
    std::vector<std::uint8_t> due;
    m_Session->TakeDue(At(0ms), due);
    EXPECT_EQ(due.size(), 1u);  // nothing runs ahead of the line
    m_Session->TakeDue(At(LineTime(10, kDefaultBaud)), due);
    EXPECT_EQ(due.size(), 11u);

    const std::vector<Written> writes = RunLine(1s);
    EXPECT_EQ(Joined(writes), FullAnswer());
    EXPECT_EQ(writes.back().at, At(LineTime(255, kDefaultBaud)));
    EXPECT_EQ(std::count_if(m_Log.lines.begin(), m_Log.lines.end(),
                            [](const std::string& l) { return l.starts_with("tx "); }),
              32);
}

TEST_F(DeviceSessionTest, KeepsBytesAWriteDidNotTake) {
    Start({{AnswerMode::Burst}});
    Receive(m_Read, 0ms);
    EXPECT_EQ(Joined(RunLine(0ms, 100)), FullAnswer());  // three short writes
}

TEST_F(DeviceSessionTest, AnswersARequestThatArrivesDuringAnAnswerAfterIt) {
    Start({});
    Receive(m_Read, 0ms);
    const std::vector<Written> first = RunLine(20ms);
    Receive(m_Read, 20ms);
    const std::vector<Written> rest = RunLine(2s);

    std::vector<std::uint8_t> expected = FullAnswer();
    const std::vector<std::uint8_t> second = FullAnswer();
    expected.insert(expected.end(), second.begin(), second.end());
    std::vector<std::uint8_t> all = Joined(first);
    const std::vector<std::uint8_t> later = Joined(rest);
    all.insert(all.end(), later.begin(), later.end());
    EXPECT_EQ(all, expected);
    EXPECT_EQ(rest.back().at, At(LineTime(511, kDefaultBaud)));  // back to back on the line
}

TEST_F(DeviceSessionTest, SilentDeviceStoresWritesButNeverAnswers) {
    SessionOptions options;
    options.silent = true;
    Start(options);
    const Frame write[] = {CommandFrame(Command::WriteBegin), WriteEntryFrame(2, "55"),
                           CommandFrame(Command::WriteEnd), m_Read};
    Receive(write, 0ms);
    EXPECT_FALSE(m_Session->NextDue());
    EXPECT_EQ(m_Session->Model().Table()[1], test::Value("0055"));
}

TEST_F(DeviceSessionTest, HangsUpMidReadAfterNFrames) {
    SessionOptions options;
    options.hangupAfter = 10;  // the request and 9 reports
    Start(options);
    Receive(m_Read, 0ms);
    const std::vector<std::uint8_t> sent = Joined(RunLine(1s));
    EXPECT_TRUE(m_Session->HangupDue());
    const std::vector<std::uint8_t> full = FullAnswer();
    EXPECT_EQ(sent, std::vector<std::uint8_t>(full.begin(), full.begin() + 9 * kFrameSize));
    EXPECT_FALSE(m_Session->NextDue());

    // Once: the new line serves a whole read.
    m_Session->OnHungUp();
    Receive(m_Read, 2s);
    EXPECT_EQ(Joined(RunLine(3s)), full);
    EXPECT_FALSE(m_Session->HangupDue());
}

TEST_F(DeviceSessionTest, SendsNothingMoreOnceTheLineMustHangUp) {
    SessionOptions options;
    options.hangupAfter = 3;
    Start(options);
    Receive(m_Read, 0ms);  // 2 reports may follow
    const Frame more[] = {CommandFrame(Command::WriteBegin), CommandFrame(Command::WriteBegin)};
    Receive(more, 0ms);  // the count reaches 3 before either report went out
    EXPECT_TRUE(m_Session->HangupDue());
    std::vector<std::uint8_t> due;
    m_Session->TakeDue(At(1s), due);
    EXPECT_TRUE(due.empty());
}

TEST_F(DeviceSessionTest, HangsUpMidWriteAndTheWriteChangesNothing) {
    SessionOptions options;
    options.hangupAfter = 5;
    Start(options);
    std::vector<Frame> write{CommandFrame(Command::WriteBegin)};
    for (int entry = 1; entry <= kEntryCount; ++entry) write.push_back(WriteEntryFrame(entry, "9"));
    write.push_back(CommandFrame(Command::WriteEnd));
    Receive(write, 0ms);  // all at once: what follows the 5th frame is never handled
    EXPECT_TRUE(m_Session->HangupDue());

    m_Session->OnHungUp();
    Receive(CommandFrame(Command::WriteEnd), 1s);
    EXPECT_EQ(m_Session->Model().Table(), DefaultTable());
}

TEST_F(DeviceSessionTest, ClosingThePortAbandonsWhatIsUnderWay) {
    Start({});
    Receive(m_Read, 0ms);
    RunLine(5ms);
    const Frame write[] = {CommandFrame(Command::WriteBegin), WriteEntryFrame(1, "1")};
    Receive(write, 6ms);

    m_Session->OnPortClosed();
    EXPECT_FALSE(m_Session->NextDue());  // the rest of the answer is not for the next user
    Receive(CommandFrame(Command::WriteEnd), 1s);
    EXPECT_EQ(m_Session->Model().Table(), DefaultTable());
}

}  // namespace
}  // namespace keltrove::device
