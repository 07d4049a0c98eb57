// WindowTexts: every text the window shows of its own: its boxes, its fields' tooltips, its
// status line and its port list. The session's own box texts (SessionTexts.h) stand as the
// first line of its boxes; the window adds the second.
//
// UTF-8. Pure, callable from any thread, except DescribePortItem, which looks at the
// system's ports as they are now.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "EntryTable.h"
#include "Interfaces.h"
#include "PanelWindow.h"
#include "PortDescription.h"
#include "WindowIntents.h"

namespace keltrove {

// The port list's first item, which closes the port; item n is COMn.
inline constexpr int kPortDisable = 0;

// "Disable" for kPortDisable, "COM1" for 1.
std::string PortItemText(int index);

struct PortItem {
    std::string text;
    std::string tooltip;  // where the name leads, and why it cannot be opened now
    bool greyed = false;  // cannot be opened now, though it may be chosen: the adapter may
                          // be plugged in next
};
PortItem PortItemOf(int index, const PortDescription& port);
PortItem DescribePortItem(int index);
// What the Windows window's port tooltips add: there the system numbers the ports, and the
// list offers COM1 to COM8 only.
inline constexpr std::string_view kComNumberHint =
    "To use an adapter here, give it a number from 1 to 8 in Device Manager (the port's "
    "Properties, Port Settings, Advanced).";

// The status text as the line draws it: the blanks behind "Reading...." and "Writing...."
// cover what a longer earlier text left in the line's rectangle.
std::string StatusLineFor(SessionStatus status);

// "Entry 5", and the tooltip of a marked field.
std::string FieldTip(int entry);
std::string DiffersTip(int entry, std::string_view panelValue);
std::string RefusedTip(int entry, std::string_view refused);

// The port as the window knows it, for the second line of the session's boxes.
struct PortState {
    int port = kPortDisable;  // the chosen item
    bool open = false;
    std::string device;  // what the port's name led to when it opened
};
// What the window adds to a session box, about the read or compare in `mode`.
std::string SessionDetail(const SessionMessage& message, ReadMode mode, const PortState& port);

// "The write stopped after entry 11 of 32: the panel may hold part of the table."
std::string WriteCutText(int entriesSent);
// A write's read-back that the line's loss cut short.
std::string ReadBackCutText();

// The status line once an awaited port has come back and opened: "COM1 is back".
std::string PortBackText(int port);
// The status line while a network port connects: "Connecting to COM3
// (rfc2217://10.0.0.5:4001)...".
std::string ConnectingText(int port, const std::string& server);

// `awaited`: the port opens by itself once it can.
PanelBox CannotOpenBox(int port, const std::string& reason, bool awaited = false);
// `cut`: what the loss cut short (WriteCutText, ReadBackCutText), or empty; `awaited`: the
// port opens again by itself once it is back (a serial port), else it is chosen again by
// hand (a network port).
PanelBox LinkLostBox(int port, const std::string& reason, const std::string& cut = {},
                     bool awaited = true);
// A write whose read-back did not show the table: no answer, a short one, or values that
// differ (their fields are marked).
PanelBox WriteNotConfirmedBox(const PortState& port, const ReadResult& readBack);
PanelBox QueueFullBox(int port, std::uint64_t droppedBytes);
PanelBox CannotLoadBox(const std::vector<std::string>& problems);
// Asks whether to save a table that leaves out `omitted` or holds `notRestorable` values
// (one line each, DescribeNotRestorable's); at least one of them is not empty.
PanelBox SaveQuestionBox(const EntrySet& omitted, const std::vector<std::string>& notRestorable);
PanelBox CannotSaveBox(const std::string& error);
PanelBox ComparisonBox(const EntrySet& differ);

// The port list's name for screen readers: the text of the label over it, "Select Port".
std::string_view PortListName();

// What a button's tooltip says: what it does, and its key ("... (Ctrl+R)").
std::string ButtonTip(Intent intent);
// What the port list's tooltip adds to the item's: the keys that choose an item.
inline constexpr std::string_view kPortKeysTip =
    "Ctrl+0 to Ctrl+8 choose Disable and COM1 to COM8.";
// A menu item as the menu shows it: its text, a tab, and its key, if it has one.
std::string MenuText(const MenuItem& item);

// The first note of a table file the window saves.
std::string SavedNote(const std::string& localTime);

// How a window asks for a table file: the dialog's title, its filters (a name and a
// pattern each, the first chosen at first), and the suffix a bare name gets.
struct FileDialogText {
    std::string_view title;
    std::vector<std::pair<std::string_view, std::string_view>> filters;
    std::string_view defaultSuffix;
};
FileDialogText FileDialogFor(FileChoice choice);

}  // namespace keltrove
