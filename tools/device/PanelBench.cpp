#include "PanelBench.h"

#include <charconv>

namespace keltrove::device {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits the last blank-separated word off `text`.
std::string_view TakeLastWord(std::string_view& text) {
    const std::size_t blank = text.find_last_of(kBlanks);
    const std::string_view word = blank == std::string_view::npos ? text : text.substr(blank + 1);
    text = blank == std::string_view::npos ? std::string_view{} : Trim(text.substr(0, blank));
    return word;
}

std::optional<std::chrono::milliseconds> Milliseconds(std::string_view word) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size() || value > kMaxScheduleMs) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(value);
}

// A value for the log: escaped, and quoted when a blank would blur where it ends.
std::string LoggedValue(const StoredValue& value) {
    const std::string text = EscapeForMessage(
        std::string_view(reinterpret_cast<const char*>(value.data()), value.size()));
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

}  // namespace

std::optional<DeviceTable> BuiltInTable(std::string_view name) {
    if (name == "default") return DefaultTable();
    if (name == "zeros") {
        DeviceTable zeros{};
        for (StoredValue& value : zeros) value.fill('0');
        return zeros;
    }
    return std::nullopt;
}

PanelListParse ParsePanelList(std::string_view text) {
    PanelListParse result;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.ends_with('\r')) line = Trim(line.substr(0, line.size() - 1));
        if (line.empty() || line.starts_with('#')) continue;
        std::string_view rest = line;
        const std::string_view gapWord = TakeLastWord(rest);
        const std::string_view stayWord = TakeLastWord(rest);
        const auto stay = Milliseconds(stayWord);
        const auto gap = Milliseconds(gapWord);
        if (rest.empty() || !stay || !gap) {
            result.problems.push_back(
                {number, "\"" + EscapeForMessage(line) +
                             "\" is not a panel line: a table (a table file, default or zeros), "
                             "how long the panel stays and how long the gap after it lasts, in "
                             "milliseconds up to a day, such as \"zeros 2000 500\""});
            continue;
        }
        PanelSource panel{std::string(rest), BuiltInTable(rest).value_or(DeviceTable{})};
        result.panels.push_back({std::move(panel), *stay, *gap, number});
    }
    if (result.panels.empty() && result.problems.empty()) {
        result.problems.push_back({0, "lists no panel"});
    }
    return result;
}

CPanelBench::CPanelBench(CDeviceSession& session, ILineLog& log, Announce announce,
                         PanelSource first)
    : m_Session(session), m_Log(log), m_Announce(std::move(announce)), m_First(std::move(first)) {}

void CPanelBench::Start(std::vector<ListedPanel> list, TimePoint now) {
    m_List = std::move(list);
    if (m_List.empty()) {
        AnnounceConnected(m_First.name);
        return;
    }
    m_Session.ConnectPanel(m_List.front().panel.table);
    AnnounceConnected(m_List.front().panel.name);
    m_nNextListed = 1;
    m_NextChange = now + m_List.front().stay;
}

void CPanelBench::Connect(const PanelSource& panel) {
    Disconnect();
    m_Session.ConnectPanel(panel.table);
    AnnounceConnected(panel.name);
}

bool CPanelBench::Disconnect() {
    if (!m_Session.PanelConnected()) return false;
    std::string held = "-- panel " + std::to_string(m_nPanel) + " held";
    for (const StoredValue& value : m_Session.Model().Table()) held += " " + LoggedValue(value);
    m_Log.Line(held);
    const int writes = m_Session.StoredWrites();
    m_Session.DisconnectPanel();
    m_Announce("panel " + std::to_string(m_nPanel) +
               " disconnected (writes stored: " + std::to_string(writes) + ")");
    return true;
}

void CPanelBench::OnTime(TimePoint now) {
    while (m_NextChange && *m_NextChange <= now) {
        if (m_Session.PanelConnected()) {
            Disconnect();
            const std::size_t gone = m_nNextListed - 1;
            if (m_nNextListed < m_List.size()) {
                *m_NextChange += m_List[gone].gap;
            } else {
                m_NextChange.reset();
                m_Log.Line("-- that was the last panel of the list");
            }
            continue;
        }
        const ListedPanel& next = m_List[m_nNextListed++];
        m_Session.ConnectPanel(next.panel.table);
        AnnounceConnected(next.panel.name);
        *m_NextChange += next.stay;
    }
}

void CPanelBench::AnnounceConnected(const std::string& name) {
    ++m_nPanel;
    m_Announce("panel " + std::to_string(m_nPanel) + " connected (" + EscapeForMessage(name) + ")");
}

}  // namespace keltrove::device
