// SessionTexts: the words the session shows: its status texts and the texts of its boxes.
//
// Front ends show these as they stand; a window may pad or add a second line, but the
// first line is always this. Pure, callable from any thread.
#pragma once

#include <string>
#include <string_view>

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

SessionMessage NoReplyMessage();
SessionMessage WriteNotTakenMessage();

}  // namespace keltrove
