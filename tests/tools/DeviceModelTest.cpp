#include <gtest/gtest.h>

#include "DeviceModel.h"
#include "DeviceTestSupport.h"
#include "FrameReceiver.h"

namespace keltrove::device {
namespace {

using namespace std::chrono_literals;
using test::CommandFrame;
using test::Value;
using test::WriteEntryFrame;

class DeviceModel : public ::testing::Test {
protected:
    FrameOutcome Send(const Frame& frame) { return m_Model.Handle(frame); }
    void WriteAll(std::string_view prefix) {
        Send(CommandFrame(Command::WriteBegin));
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            Send(WriteEntryFrame(entry, std::string(prefix) + std::to_string(entry)));
        }
    }

    CDeviceModel m_Model{DefaultTable()};
};

TEST_F(DeviceModel, ReadAnswersEveryEntryInOrderWithItsStoredBytes) {
    // Bytes 2..6 of a command frame are whatever the program's buffer held; they must not
    // matter.
    Frame request = WriteEntryFrame(32, "1234");
    SetCommandFrame(request, Command::ReadRequest);
    const FrameOutcome outcome = Send(request);

    EXPECT_EQ(outcome.action, FrameAction::ReadAnswered);
    ASSERT_EQ(outcome.replies.size(), 32u);
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const Frame& report = outcome.replies[static_cast<std::size_t>(entry - 1)];
        EXPECT_TRUE(IsEntryReport(report));
        EXPECT_EQ(report[2], entry);
        const StoredValue value{report[3], report[4], report[5], report[6]};
        EXPECT_EQ(value, DefaultTable()[static_cast<std::size_t>(entry - 1)]);
    }
}

TEST_F(DeviceModel, WriteIsStoredOnlyWhenWriteEndArrives) {
    WriteAll("9");
    EXPECT_EQ(m_Model.Table(), DefaultTable());

    const FrameOutcome end = Send(CommandFrame(Command::WriteEnd));
    EXPECT_EQ(end.action, FrameAction::WriteStored);
    EXPECT_EQ(end.count, 32);
    EXPECT_EQ(m_Model.Table()[0], Value("0091"));  // right-aligned by the program
    EXPECT_EQ(m_Model.Table()[31], Value("0932"));
    EXPECT_EQ(Send(CommandFrame(Command::ReadRequest)).replies[31][6], '2');
}

TEST_F(DeviceModel, WriteStoresOnlyTheEntriesItSent) {
    Send(CommandFrame(Command::WriteBegin));
    Send(WriteEntryFrame(5, "77"));
    Send(WriteEntryFrame(5, "78"));  // the later frame for an entry wins
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).count, 1);

    DeviceTable expected = DefaultTable();
    expected[4] = Value("0078");
    EXPECT_EQ(m_Model.Table(), expected);
}

TEST_F(DeviceModel, UnfinishedWriteChangesNothing) {
    // A read request: the program gave up on the write.
    WriteAll("8");
    const FrameOutcome read = Send(CommandFrame(Command::ReadRequest));
    EXPECT_TRUE(read.abandonedWrite);
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).reason, IgnoreReason::NoWriteUnderWay);

    // A new write begin: only the new write's entries count.
    WriteAll("7");
    EXPECT_TRUE(Send(CommandFrame(Command::WriteBegin)).abandonedWrite);
    Send(WriteEntryFrame(1, "1111"));
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).count, 1);

    // The port closed.
    WriteAll("6");
    EXPECT_TRUE(m_Model.AbandonWrite());
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).action, FrameAction::Ignored);

    DeviceTable expected = DefaultTable();
    expected[0] = Value("1111");
    EXPECT_EQ(m_Model.Table(), expected);
}

TEST_F(DeviceModel, IgnoresWhatIsNotPartOfARequest) {
    EXPECT_EQ(Send(WriteEntryFrame(3, "1234")).reason, IgnoreReason::NoWriteUnderWay);
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).reason, IgnoreReason::NoWriteUnderWay);
    EXPECT_EQ(Send(CommandFrame(Command::EntryReport)).reason, IgnoreReason::UnknownCommand);
    Frame unknown = CommandFrame(Command::ReadRequest);
    unknown[1] = 0x77;
    EXPECT_EQ(Send(unknown).reason, IgnoreReason::UnknownCommand);

    Send(CommandFrame(Command::WriteBegin));
    EXPECT_EQ(Send(WriteEntryFrame(0, "1234")).reason, IgnoreReason::EntryOutOfRange);
    EXPECT_EQ(Send(WriteEntryFrame(33, "1234")).reason, IgnoreReason::EntryOutOfRange);
    EXPECT_EQ(Send(CommandFrame(Command::WriteEnd)).count, 0);
    EXPECT_EQ(m_Model.Table(), DefaultTable());
}

TEST_F(DeviceModel, ReportsAValueExactlyAsWritten) {
    // A value that does not end in a digit would be re-aligned by the program's rule
    // ("12 " -> "0012"); the device reports its bytes as it stored them.
    Frame odd = WriteEntryFrame(9, "1234");
    odd[3] = '1';
    odd[4] = '2';
    odd[5] = ' ';
    odd[6] = 0x00;
    Send(CommandFrame(Command::WriteBegin));
    Send(odd);
    Send(CommandFrame(Command::WriteEnd));

    const Frame report = Send(CommandFrame(Command::ReadRequest)).replies[8];
    EXPECT_TRUE(std::equal(report.begin() + 3, report.begin() + 7, odd.begin() + 3));
}

class FrameReceiverTest : public ::testing::Test {
protected:
    std::vector<Frame> Push(std::span<const std::uint8_t> bytes, Nanos at) {
        const auto result = m_Receiver.Push(bytes, test::At(at));
        m_bDropped = result.droppedPartial;
        return result.frames;
    }

    CFrameReceiver m_Receiver;
    bool m_bDropped = false;
    const Frame m_Read = CommandFrame(Command::ReadRequest);
    const Frame m_Begin = CommandFrame(Command::WriteBegin);
};

TEST_F(FrameReceiverTest, FindsFramesAcrossChunksAndAfterNoise) {
    std::vector<std::uint8_t> bytes{0x03, 0x40, 0xff};  // noise first
    bytes.insert(bytes.end(), m_Read.begin(), m_Read.end());
    bytes.insert(bytes.end(), m_Begin.begin(), m_Begin.end());
    const std::span all(bytes);

    EXPECT_TRUE(Push(all.first(7), 0ms).empty());
    const std::vector<Frame> frames = Push(all.subspan(7), 5ms);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], m_Read);
    EXPECT_EQ(frames[1], m_Begin);
}

TEST_F(FrameReceiverTest, DropsAFrameWhoseBytesStopForLongerThanTheGap) {
    const std::span read(m_Read);
    Push(read.first(5), 0ms);
    EXPECT_EQ(Push(read.subspan(5), CFrameReceiver::kByteGap).size(), 1u);
    EXPECT_FALSE(m_bDropped);

    // The first half of a frame, then the line stays quiet: its end must not complete it
    // together with the next frame's bytes.
    Push(read.first(5), 1s);
    std::vector<std::uint8_t> late(read.begin() + 5, read.end());
    late.insert(late.end(), m_Begin.begin(), m_Begin.end());
    const std::vector<Frame> frames = Push(late, 1s + CFrameReceiver::kByteGap + 1ms);
    EXPECT_TRUE(m_bDropped);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], m_Begin);
}

}  // namespace
}  // namespace keltrove::device
