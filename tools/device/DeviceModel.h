// DeviceModel: what the panel device does with each frame it receives.
//
// A read request (0x40) is answered with 32 entry reports (0x50) for entries 1 to 32 in
// order, each carrying the entry's four stored bytes as they stand. A write is write begin
// (0x10), write-entry frames (0x30) and write end (0x90): entry frames are only staged, and
// write end stores the staged values all at once, so a write that never ends changes
// nothing. A write under way is abandoned by a new write begin, by a read request (the
// program has given up on it) and by AbandonWrite (the port was closed or the line hung
// up). Every other frame is ignored. Bytes 2 to 6 of command frames mean nothing here.
//
// Two ways to misbehave, for testing the program against bad panels: an echoing panel sends
// each write-entry frame back at once as the entry report for the same entry and value,
// whether or not a write is under way; a panel that ignores writes stages them as usual but
// stores nothing at write end.
//
// Single-threaded, no I/O. There are no failures: every frame gets an outcome.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "DeviceTable.h"
#include "Frame.h"

namespace keltrove::device {

enum class FrameAction {
    ReadAnswered,  // replies hold the 32 reports
    WriteBegun,
    EntryStaged,   // entry and value of the frame are staged
    WriteStored,   // count entries were stored
    WriteIgnored,  // count entries were staged, and none stored
    Ignored,       // see IgnoreReason
};

enum class IgnoreReason { None, NoWriteUnderWay, EntryOutOfRange, UnknownCommand };

struct FrameOutcome {
    FrameAction action = FrameAction::Ignored;
    IgnoreReason reason = IgnoreReason::None;
    int entry = 0;                // EntryStaged
    int count = 0;                // WriteStored, WriteIgnored
    bool abandonedWrite = false;  // a write under way was dropped on the way
    std::vector<Frame> replies;   // the read's 32 reports, or an entry frame's echo
};

struct PanelBehaviour {
    bool echoWrites = false;
    bool ignoreWrites = false;
};

class CDeviceModel {
public:
    explicit CDeviceModel(const DeviceTable& table, PanelBehaviour behaviour = {})
        : m_Table(table), m_Behaviour(behaviour) {}

    // `frame` is framed (0x01 ... 0x03); the assembler has made sure of that.
    FrameOutcome Handle(const Frame& frame);

    // Drops a write under way. Returns true when there was one.
    bool AbandonWrite();

    const DeviceTable& Table() const { return m_Table; }

private:
    using StagedValues = std::array<std::optional<StoredValue>, kEntryCount>;

    FrameOutcome AnswerRead();
    FrameOutcome BeginWrite();
    FrameOutcome StageEntry(const Frame& frame);
    FrameOutcome EndWrite();

    DeviceTable m_Table;
    PanelBehaviour m_Behaviour;
    std::optional<StagedValues> m_Staged;  // set while a write is under way
};

// The entry report for `entry` carrying `value` byte for byte.
Frame EntryReport(int entry, const StoredValue& value);

}  // namespace keltrove::device
