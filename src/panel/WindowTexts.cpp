#include "WindowTexts.h"

#include <algorithm>

#include "ComNames.h"
#include "DialogTemplate.h"
#include "LinkEvents.h"
#include "SessionTexts.h"
#include "TableFile.h"
#include "WindowIntents.h"
#include "resource.h"

namespace keltrove {

namespace {

// At most this many lines of a list go into a box; the rest are counted.
constexpr std::size_t kLinesShown = 5;

std::string QuoteLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kLinesShown; ++i) {
        text += (i == 0 ? "" : "\n") + lines[i];
    }
    if (lines.size() > kLinesShown) {
        text += "\n... and " + std::to_string(lines.size() - kLinesShown) + " more";
    }
    return text;
}

// "Check that ..." from "check that ...".
std::string Sentence(std::string_view clause) {
    std::string text(clause);
    if (!text.empty() && text.front() >= 'a' && text.front() <= 'z') text.front() -= 'a' - 'A';
    return text;
}

std::string EntriesWord(const EntrySet& entries) {
    return entries.Count() == 1 ? "Entry " : "Entries ";
}

}  // namespace

std::string PortItemText(int index) {
    return index == kPortDisable ? "Disable" : ComPortName(index);
}

PortItem PortItemOf(int index, const PortDescription& port) {
    if (index == kPortDisable) return {PortItemText(index), "No port", false};
    std::string tooltip = port.chain;
    if (!port.problem.empty()) tooltip += '\n' + port.problem;
    return {PortItemText(index), std::move(tooltip), !port.problem.empty()};
}

PortItem DescribePortItem(int index) {
    if (index == kPortDisable) return PortItemOf(index, {});
    return PortItemOf(index, DescribePort(ComPortName(index)));
}

std::string StatusLineFor(SessionStatus status) {
    std::string line(StatusText(status));
    if (status == SessionStatus::Reading) line.append(25, ' ');
    if (status == SessionStatus::Writing) line.append(20, ' ');
    return line;
}

std::string FieldTip(int entry) {
    return "Entry " + std::to_string(entry);
}

std::string DiffersTip(int entry, std::string_view panelValue) {
    return FieldTip(entry) + ": the panel holds \"" + DisplayValue(panelValue) + "\"";
}

std::string RefusedTip(int entry, std::string_view refused) {
    const auto characters = std::count_if(refused.begin(), refused.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    });
    return FieldTip(entry) +
           ": only Latin-1 characters, and no control characters, can be sent to the panel; \"" +
           VisibleText(refused) + (characters == 1 ? "\" was refused" : "\" were refused");
}

std::string SessionDetail(const SessionMessage& message, ReadMode mode, const PortState& port) {
    if (message.kind != MessageKind::NoReply && message.kind != MessageKind::WriteNotTaken) {
        return {};
    }
    const std::string name = PortItemText(port.port);
    const bool reply = message.kind == MessageKind::NoReply;
    const std::string again =
        mode == ReadMode::Compare ? " Compare again now?" : " Read again now?";
    if (port.port == kPortDisable) {
        return reply ? "No port is chosen, so no request went out." + again +
                           " To choose a port first, answer No."
                     : "No port is chosen; choose one in the port list.";
    }
    if (!port.open) {
        return reply ? name + " is not open, so no request went out." + again + " To choose " +
                           name + " in the port list again first, answer No."
                     : name + " is not open; choose it in the port list again.";
    }
    const std::string where = PortAndDevice(name, port.device);
    if (reply) return where + ": " + message.why + ". " + Sentence(kCheckThePanel) + "." + again;
    return where + " did not take the frames. " + WriteCutText(message.entriesSent) +
           " Check the cable, then press Write again.";
}

std::string WriteCutText(int entriesSent) {
    if (entriesSent == 0) return "Nothing of the table was written.";
    return "The write stopped after entry " + std::to_string(entriesSent) + " of " +
           std::to_string(kEntryCount) + ": the panel may hold part of the table.";
}

std::string ReadBackCutText() {
    return "The table was sent, but the line went before its read-back ended, so nothing "
           "confirms that the panel took it.";
}

std::string PortBackText(int port) {
    return PortItemText(port) + " is back";
}

std::string ConnectingText(int port, const std::string& server) {
    return "Connecting to " + PortAndDevice(PortItemText(port), server) + "...";
}

PanelBox CannotOpenBox(int port, const std::string& reason, bool awaited) {
    const std::string name = PortItemText(port);
    return {"Cannot open " + name,
            reason + (awaited ? "\n" + name + " opens by itself once it can." : ""),
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox LinkLostBox(int port, const std::string& reason, const std::string& cut,
                     bool awaited) {
    const std::string name = PortItemText(port);
    return {"Connection to " + name + " lost",
            (cut.empty() ? "" : cut + "\n") + reason +
                (awaited ? "\nPlug the device in again: " + name +
                               " opens again by itself once it is back."
                         : "\nCheck the server and the network, then choose " + name +
                               " again in the port list."),
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox WriteNotConfirmedBox(const PortState& port, const ReadResult& readBack) {
    const std::string where = PortAndDevice(PortItemText(port.port), port.device);
    std::string detail = "The table was sent to " + where + ", but " + ReadBackFailure(readBack);
    if (readBack.differences.empty()) {
        detail += ", so nothing confirms that the panel took it. " + Sentence(kCheckThePanel) +
                  ", then press Write again.";
    } else {
        detail +=
            "; they have a red frame, and the tooltip of each shows what the panel "
            "holds.\n" +
            QuoteLines(DescribeDifferences(readBack.differences)) +
            "\nPress Write again, or Read to take what the panel holds.";
    }
    return {readBack.how == ReadEnd::NoReply ? std::string(kMsgNotConnected)
                                             : "The panel does not confirm the write",
            detail, MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox QueueFullBox(int port, std::uint64_t droppedBytes) {
    return {std::string(kMsgQueueFull),
            PortItemText(port) + ": " + std::to_string(droppedBytes) +
                " received bytes were dropped since the last report, because the device sent "
                "faster than they could be taken.",
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox CannotLoadBox(const std::vector<std::string>& problems) {
    return {"Cannot load the table", QuoteLines(problems) + "\nNo field was changed.",
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox SaveQuestionBox(const EntrySet& omitted, const std::vector<std::string>& notRestorable) {
    const std::string odd = notRestorable.empty()
                                ? std::string()
                                : "Values a write cannot put back as they stand:\n" +
                                      QuoteLines(notRestorable) +
                                      "\nThe file notes them in comment lines.";
    if (omitted.Empty()) {
        return {
            "A write of this table would not give the panel back every value as it stands. "
            "Save it anyway?",
            odd, MessageButtons::YesNo, MessageAnswer::Yes, BoxIcon::Warning};
    }
    const bool one = omitted.Count() == 1;
    const std::string them = one ? "it" : "them";
    return {EntriesWord(omitted) + DescribeEntries(omitted) + (one ? " was" : " were") +
                " not read from the panel. Save the table without " + them + "?",
            "The file leaves " + them +
                " out and says so; after loading it, a write asks before "
                "sending " +
                them + " as 0000." + (odd.empty() ? "" : "\n" + odd),
            MessageButtons::YesNo, MessageAnswer::Yes, BoxIcon::Warning};
}

PanelBox CannotSaveBox(const std::string& error) {
    return {"Cannot save the table", error + "\nAn earlier file of that name is unchanged.",
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Warning};
}

PanelBox ComparisonBox(const EntrySet& differ) {
    if (differ.Empty()) {
        return {"All 32 entries match the panel.",
                {},
                MessageButtons::Ok,
                MessageAnswer::Ok,
                BoxIcon::Information};
    }
    const bool one = differ.Count() == 1;
    return {std::to_string(differ.Count()) + (one ? " entry differs" : " entries differ") +
                " from the panel: " + DescribeEntries(differ) + ".",
            "They have a red frame; the tooltip of each shows what the panel holds.",
            MessageButtons::Ok, MessageAnswer::Ok, BoxIcon::Information};
}

std::string SavedNote(const std::string& localTime) {
    return "saved from the Keltrove window at " + localTime;
}

FileDialogText FileDialogFor(FileChoice choice) {
    return {choice == FileChoice::Save ? "Save table as" : "Load table",
            {{"Table files", "*.txt"}, {"All files", "*"}},
            "txt"};
}

std::string_view PortListName() {
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.kind == ControlKind::Label) return control.text;  // the window's one label
    }
    return {};
}

std::string ButtonTip(Intent intent) {
    const auto with = [](std::string_view what, std::string_view keys) {
        return std::string(what) + " (" + std::string(keys) + ")";
    };
    switch (intent) {
        case Intent::Read:
            return with("Read the panel's table into the fields", ShortcutText(intent));
        case Intent::Write:
            return with("Write the fields into the panel", ShortcutText(intent));
        case Intent::Close:
            return with("End Keltrove", "Escape");
        default:
            return {};
    }
}

std::string MenuText(const MenuItem& item) {
    const std::string_view keys = ShortcutText(item.intent);
    return keys.empty() ? std::string(item.text)
                        : std::string(item.text) + '\t' + std::string(keys);
}

std::span<const Shortcut> Shortcuts() {
    static constexpr Shortcut kShortcuts[] = {
        {"Ctrl+0", '0', false, Intent::ChoosePort, kPortDisable},
        {"Ctrl+1", '1', false, Intent::ChoosePort, 1},
        {"Ctrl+2", '2', false, Intent::ChoosePort, 2},
        {"Ctrl+3", '3', false, Intent::ChoosePort, 3},
        {"Ctrl+4", '4', false, Intent::ChoosePort, 4},
        {"Ctrl+5", '5', false, Intent::ChoosePort, 5},
        {"Ctrl+6", '6', false, Intent::ChoosePort, 6},
        {"Ctrl+7", '7', false, Intent::ChoosePort, 7},
        {"Ctrl+8", '8', false, Intent::ChoosePort, 8},
        {"Ctrl+R", 'R', false, Intent::Read},
        // Shift as well: Ctrl+W closes windows elsewhere, and a slip must not write.
        {"Ctrl+Shift+W", 'W', true, Intent::Write},
        {"Ctrl+S", 'S', false, Intent::Save},
        {"Ctrl+O", 'O', false, Intent::Load},
        {"Ctrl+D", 'D', false, Intent::Compare},
        {"F1", kF1, false, Intent::About},
    };
    return kShortcuts;
}

std::string_view ShortcutText(Intent intent) {
    if (intent == Intent::ChoosePort) return {};
    for (const Shortcut& shortcut : Shortcuts()) {
        if (shortcut.intent == intent) return shortcut.text;
    }
    return {};
}

std::span<const MenuItem> ContextMenuItems() {
    static constexpr MenuItem kItems[] = {
        {"Save table as...", Intent::Save},
        {"Load table...", Intent::Load},
        {"Compare with panel", Intent::Compare},
        {"Close", Intent::Close},
        {{}, Intent::Close},
        {ABOUT_MENU_TEXT, Intent::About},
    };
    return kItems;
}

}  // namespace keltrove
