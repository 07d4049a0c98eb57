// SessionTexts: the words the session shows: its status texts and the texts of its boxes.
//
// Front ends show these as they stand; a window may pad or add a second line, but the
// first line is always this. Pure, callable from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "EntryTable.h"
#include "Interfaces.h"

namespace keltrove {

inline constexpr std::string_view kMsgNotConnected = "DERID Not Connected";
// What to do when the panel gives no answer, in every front end's words around it.
inline constexpr std::string_view kCheckThePanel =
    "check that the panel is switched on and its cable is plugged in";

// "Reading....", "Reading is completed", "Reading failed", "Writing....",
// "Writing is Completed", "Writing failed".
std::string_view StatusText(SessionStatus status);

// "Entries not received: 12 to 32. Read again before writing."
SessionMessage EntriesNotReceivedMessage(const EntrySet& missing);

// "Entries 12 to 32 were not read from the panel and will be written as 0000. Write anyway?"
SessionMessage ConfirmUnreadWriteMessage(const EntrySet& unread);

// `heardBytes`: the bytes that came after the request, none of them a report.
SessionMessage NoReplyMessage(std::size_t heardBytes = 0);
// `entriesSent`: the entry frames that went out before the one that did not.
SessionMessage WriteNotTakenMessage(int entriesSent);

// "no report within 0.25 s", and how many bytes came that were no report.
std::string NoReportText(std::size_t heardBytes);
// Why a read-back confirms nothing, as a clause: "the panel did not answer the read-back
// (no report within 0.25 s)", "the read-back stopped short (entries not received: 12 to 32)",
// "entries 3 and 5 read back otherwise". Empty for a confirming one.
std::string ReadBackFailure(const ReadResult& readBack);
// "entry 3: the panel holds "0001", the write stored "0003"", one line per entry.
std::vector<std::string> DescribeDifferences(const std::vector<EntryDifference>& differences,
                                             std::string_view stored = "the write stored");

}  // namespace keltrove
