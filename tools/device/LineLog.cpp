#include "LineLog.h"

namespace keltrove::device {

namespace {

std::string_view IgnoredBecause(IgnoreReason reason) {
    switch (reason) {
        case IgnoreReason::NoWriteUnderWay:
            return "ignored: no write under way";
        case IgnoreReason::EntryOutOfRange:
            return "ignored: entry number out of range";
        case IgnoreReason::UnknownCommand:
        case IgnoreReason::None:
            break;
    }
    return "ignored: not a command the device knows";
}

}  // namespace

std::string DescribeOutcome(const FrameOutcome& outcome) {
    std::string text;
    switch (outcome.action) {
        case FrameAction::ReadAnswered:
            text = "read request";
            break;
        case FrameAction::WriteBegun:
            text = "write begin";
            break;
        case FrameAction::EntryStaged:
            text = "write entry " + std::to_string(outcome.entry) + " staged";
            break;
        case FrameAction::WriteStored:
            text = "write end: " + std::to_string(outcome.count) + " entries stored";
            break;
        case FrameAction::WriteIgnored:
            text = "write end: " + std::to_string(outcome.count) +
                   " entries not stored (the device ignores writes)";
            break;
        case FrameAction::Ignored:
            text = IgnoredBecause(outcome.reason);
            break;
    }
    if (outcome.abandonedWrite) text += " (the unfinished write is abandoned)";
    return text;
}

}  // namespace keltrove::device
