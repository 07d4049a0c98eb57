#include "SessionTexts.h"

namespace keltrove {

std::string_view StatusText(SessionStatus status) {
    switch (status) {
        case SessionStatus::Reading:
            return "Reading....";
        case SessionStatus::ReadDone:
            return "Reading is completed";
        case SessionStatus::ReadFailed:
            return "Reading failed";
        case SessionStatus::Writing:
            return "Writing....";
        case SessionStatus::WriteDone:
            return "Writing is Completed";
        case SessionStatus::WriteFailed:
            return "Writing failed";
    }
    return {};
}

SessionMessage EntriesNotReceivedMessage(const EntrySet& missing) {
    const bool one = missing.Count() == 1;
    return {MessageKind::EntriesNotReceived,
            std::string(one ? "Entry" : "Entries") + " not received: " + DescribeEntries(missing) +
                ". Read again before writing.",
            MessageButtons::Ok};
}

SessionMessage ConfirmUnreadWriteMessage(const EntrySet& unread) {
    const bool one = unread.Count() == 1;
    return {MessageKind::ConfirmUnreadWrite,
            std::string(one ? "Entry " : "Entries ") + DescribeEntries(unread) +
                (one ? " was" : " were") +
                " not read from the panel and will be written as 0000. Write anyway?",
            MessageButtons::YesNo, MessageAnswer::No};
}

SessionMessage NoReplyMessage() {
    return {MessageKind::NoReply, std::string(kMsgNotConnected), MessageButtons::YesNo};
}

SessionMessage WriteNotTakenMessage() {
    return {MessageKind::WriteNotTaken, std::string(kMsgNotConnected), MessageButtons::Ok};
}

}  // namespace keltrove
