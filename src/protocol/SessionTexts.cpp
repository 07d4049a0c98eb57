#include "SessionTexts.h"

#include <cstdio>

#include "TableFile.h"

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
            MessageButtons::Ok,
            MessageAnswer::Ok,
            {},
            0};
}

SessionMessage ConfirmUnreadWriteMessage(const EntrySet& unread) {
    const bool one = unread.Count() == 1;
    return {MessageKind::ConfirmUnreadWrite,
            std::string(one ? "Entry " : "Entries ") + DescribeEntries(unread) +
                (one ? " was" : " were") +
                " not read from the panel and will be written as 0000. Write anyway?",
            MessageButtons::YesNo,
            MessageAnswer::No,
            {},
            0};
}

SessionMessage NoReplyMessage(std::size_t heardBytes) {
    return {MessageKind::NoReply, std::string(kMsgNotConnected), MessageButtons::YesNo,
            MessageAnswer::Yes,   NoReportText(heardBytes),      0};
}

SessionMessage WriteNotTakenMessage(int entriesSent) {
    return {MessageKind::WriteNotTaken,
            std::string(kMsgNotConnected),
            MessageButtons::Ok,
            MessageAnswer::Ok,
            {},
            entriesSent};
}

std::string NoReportText(std::size_t heardBytes) {
    char limit[16];
    std::snprintf(limit, sizeof limit, "%.2f s", kFirstReportLimit.count() / 1000.0);
    std::string text = std::string("no report within ") + limit;
    if (heardBytes > 0) {
        text += "; " + std::to_string(heardBytes) + (heardBytes == 1 ? " byte" : " bytes") +
                " came, none of them a report";
    }
    return text;
}

std::string ReadBackFailure(const ReadResult& readBack) {
    switch (readBack.how) {
        case ReadEnd::NoReply:
            return "the panel did not answer the read-back (" + NoReportText(readBack.heardBytes) +
                   ")";
        case ReadEnd::Incomplete:
            return "the read-back stopped short (entries not received: " +
                   DescribeEntries(readBack.missing) + ")";
        case ReadEnd::PortGone:
            return "the line was lost during the read-back";
        case ReadEnd::Whole:
            break;
    }
    if (readBack.differences.empty()) return {};
    EntrySet entries;
    for (const EntryDifference& difference : readBack.differences) entries.Add(difference.entry);
    return std::string(entries.Count() == 1 ? "entry " : "entries ") + DescribeEntries(entries) +
           " read back otherwise";
}

std::vector<std::string> DescribeDifferences(const std::vector<EntryDifference>& differences,
                                             std::string_view stored) {
    std::vector<std::string> lines;
    for (const EntryDifference& difference : differences) {
        lines.push_back("entry " + std::to_string(difference.entry) + ": the panel holds \"" +
                        DisplayValue(difference.panel) + "\", " + std::string(stored) + " \"" +
                        DisplayValue(difference.stored) + "\"");
    }
    return lines;
}

}  // namespace keltrove
