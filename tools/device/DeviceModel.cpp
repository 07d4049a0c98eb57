#include "DeviceModel.h"

namespace keltrove::device {

namespace {

FrameOutcome Outcome(FrameAction action, int entry = 0) {
    FrameOutcome outcome;
    outcome.action = action;
    outcome.entry = entry;
    return outcome;
}

FrameOutcome Ignored(IgnoreReason reason, int entry = 0) {
    FrameOutcome outcome = Outcome(FrameAction::Ignored, entry);
    outcome.reason = reason;
    return outcome;
}

}  // namespace

Frame EntryReport(int entry, const StoredValue& value) {
    // The value as stored, even one that a write sent unaligned.
    Frame frame{};
    SetEntryFrame(frame, Command::EntryReport, static_cast<std::uint8_t>(entry), value);
    return frame;
}

FrameOutcome CDeviceModel::Handle(const Frame& frame) {
    switch (static_cast<Command>(frame[1])) {
        case Command::ReadRequest:
            return AnswerRead();
        case Command::WriteBegin:
            return BeginWrite();
        case Command::WriteEntry: {
            FrameOutcome outcome = StageEntry(frame);
            if (m_Behaviour.echoWrites) {
                outcome.replies.push_back(EntryReport(EntryOf(frame), ValueOf(frame)));
            }
            return outcome;
        }
        case Command::WriteEnd:
            return EndWrite();
        default:
            // Also 0x50: a report echoed back to the device is nothing it acts on.
            return Ignored(IgnoreReason::UnknownCommand);
    }
}

bool CDeviceModel::AbandonWrite() {
    const bool underWay = m_Staged.has_value();
    m_Staged.reset();
    return underWay;
}

FrameOutcome CDeviceModel::AnswerRead() {
    FrameOutcome outcome = Outcome(FrameAction::ReadAnswered);
    outcome.abandonedWrite = AbandonWrite();
    outcome.replies.reserve(kEntryCount);
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        outcome.replies.push_back(EntryReport(entry, m_Table[EntryIndex(entry)]));
    }
    return outcome;
}

FrameOutcome CDeviceModel::BeginWrite() {
    FrameOutcome outcome = Outcome(FrameAction::WriteBegun);
    outcome.abandonedWrite = AbandonWrite();
    m_Staged.emplace();
    return outcome;
}

FrameOutcome CDeviceModel::StageEntry(const Frame& frame) {
    if (!m_Staged) return Ignored(IgnoreReason::NoWriteUnderWay);
    const int entry = EntryOf(frame);
    if (!IsEntryNumber(entry)) return Ignored(IgnoreReason::EntryOutOfRange, entry);
    (*m_Staged)[EntryIndex(entry)] = ValueOf(frame);
    return Outcome(FrameAction::EntryStaged, entry);
}

FrameOutcome CDeviceModel::EndWrite() {
    if (!m_Staged) return Ignored(IgnoreReason::NoWriteUnderWay);
    FrameOutcome outcome =
        Outcome(m_Behaviour.ignoreWrites ? FrameAction::WriteIgnored : FrameAction::WriteStored);
    for (std::size_t i = 0; i < m_Table.size(); ++i) {
        if (!(*m_Staged)[i]) continue;
        if (!m_Behaviour.ignoreWrites) m_Table[i] = *(*m_Staged)[i];
        ++outcome.count;
    }
    m_Staged.reset();
    return outcome;
}

}  // namespace keltrove::device
