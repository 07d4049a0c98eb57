// PanelBench: panels connected one after another behind one line, as on a provisioning
// bench, where the adapter stays plugged in and only the panel changes.
//
// The bench numbers the panels from 1 and announces each change: "panel 2 connected (zeros)"
// and "panel 2 disconnected (writes stored: 1)"; before the second it logs what the panel
// held. It follows a panel list on its own timeline (each panel stays for its time, then the
// line is without a panel for its gap, then the next comes; after the last nothing comes),
// or connects and disconnects when told (the control FIFO). The list's times count from the
// start, not from when a change was made, so a late wake-up does not shift the rest.
//
// A panel list is text, one panel a line: "TABLE STAY GAP", where TABLE is a table file,
// "default" (0101 to 0132) or "zeros" (0000 everywhere), and STAY and GAP are milliseconds;
// the table is everything before the last two numbers, so it may hold blanks. "#" starts a
// comment line. ParsePanelList checks the text only; the caller loads the table files.
//
// Single-threaded, no I/O and no clock. Parse problems are returned, nothing throws.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceSession.h"
#include "TableFile.h"  // TableProblem

namespace keltrove::device {

struct PanelSource {
    std::string name;  // as given: a table file, "default" or "zeros"
    DeviceTable table{};
};

struct ListedPanel {
    PanelSource panel;  // its table is filled in by ParsePanelList only for the built-in names
    std::chrono::milliseconds stay{0};
    std::chrono::milliseconds gap{0};
    int line = 0;  // in the list, for messages
};

// The table a built-in name stands for; empty for any other name (a table file).
std::optional<DeviceTable> BuiltInTable(std::string_view name);

struct PanelListParse {
    std::vector<ListedPanel> panels;
    std::vector<TableProblem> problems;  // every one found; panels are complete without any
};

PanelListParse ParsePanelList(std::string_view text);

class CPanelBench {
public:
    using Announce = std::function<void(const std::string& line)>;

    // `first` is the panel the session starts with.
    CPanelBench(CDeviceSession& session, ILineLog& log, Announce announce, PanelSource first);

    // Announces the first panel, or, with a list, connects the list's first panel in its
    // place and starts the list's timeline at `now`.
    void Start(std::vector<ListedPanel> list, TimePoint now);

    // Connects `panel` as the next one, after the one connected has gone.
    void Connect(const PanelSource& panel);
    // Returns false when no panel was connected.
    bool Disconnect();

    // The panel the session started with, for a connect that names no table.
    const PanelSource& First() const { return m_First; }

    // When the list's next change is due; empty without a list, or once it has ended.
    std::optional<TimePoint> NextChange() const { return m_NextChange; }
    // Makes every change of the list that is due at `now`.
    void OnTime(TimePoint now);

private:
    void AnnounceConnected(const std::string& name);

    CDeviceSession& m_Session;
    ILineLog& m_Log;
    Announce m_Announce;
    PanelSource m_First;
    std::vector<ListedPanel> m_List;
    std::size_t m_nNextListed = 0;
    std::optional<TimePoint> m_NextChange;
    int m_nPanel = 0;  // the number of the last panel connected
};

}  // namespace keltrove::device
