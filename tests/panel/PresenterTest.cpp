// The presenter under the window, with a fake window and fake timers on one timeline, and a
// pseudo-terminal as COM1 where a port must open; the test plays the device at its far end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>

#include "FarEnd.h"
#include "PanelPresenter.h"
#include "TableDiff.h"
#include "TableFile.h"

using namespace keltrove;
using keltrove::test::CFarEnd;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

namespace fs = std::filesystem;
using Timeline = std::vector<std::string>;

constexpr auto kGuard = std::chrono::seconds(10);  // only against a hang
constexpr const char* kNow = "2026-12-07 14:03:27";

std::string ReadText(const fs::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A folder of the test's own, gone with it.
class CScratchDir {
public:
    CScratchDir() {
        std::string name = (fs::temp_directory_path() / "keltrove-panel-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("no scratch folder");
        m_Path = name;
    }
    ~CScratchDir() {
        std::error_code ignored;
        fs::remove_all(m_Path, ignored);
    }
    const fs::path& Path() const { return m_Path; }

private:
    fs::path m_Path;
};

// A port map, lock folder and configuration of the test's own, so that nothing of the
// machine's plays a part.
class CPortDir {
public:
    CPortDir() {
        ::setenv("KELTROVE_PORT_DIR", m_Map.Path().c_str(), 1);
        ::setenv("KELTROVE_LOCK_DIR", m_Locks.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", m_Config.Path().c_str(), 1);
    }
    void Map(int com, const std::string& target) const {
        const fs::path link = m_Map.Path() / ("COM" + std::to_string(com));
        fs::remove(link);
        fs::create_symlink(target, link);
    }
    long LockFiles() const {
        return std::distance(fs::directory_iterator(m_Locks.Path()), fs::directory_iterator());
    }

private:
    CScratchDir m_Map;
    CScratchDir m_Locks;
    CScratchDir m_Config;
};

// The device's report of `entry`: four bytes as they stand, a shorter value as a write of it
// would have stored it.
std::string Report(int entry, const std::string& value) {
    const std::string held = value.size() == kValueSize ? value : StoredValue(value);
    return std::string{'\x01', '\x50', static_cast<char>(entry)} + held + '\x03';
}

// "read request", "write begin", "entry 5 0012", "write end".
std::string DescribeFrame(std::span<const std::uint8_t> frame) {
    switch (frame[1]) {
        case 0x40:
            return "read request";
        case 0x10:
            return "write begin";
        case 0x90:
            return "write end";
        case 0x30:
            return "entry " + std::to_string(frame[2]) + " " +
                   DisplayValue(std::string(frame.begin() + 3, frame.begin() + 7));
    }
    return HexBytes(frame);
}

// The window, as the presenter sees it; what it is asked to do goes on the timeline:
// "status:Reading failed", "box:TEXT | DETAIL [Yes/No]", "font:5", "mark:5 differs TIP",
// "busy:on", "choose:save", and what the session sends, "tx:write begin".
class CFakeWindow final : public IPanelWindow, public IWireTrace {
public:
    explicit CFakeWindow(Timeline& timeline) : m_Timeline(timeline) {}

    void ShowFieldTexts(const FieldTexts& texts) override { m_Fields = texts; }
    FieldTexts GetFieldTexts() const override { return m_Fields; }
    void SetValueFont(int entry) override { Note("font:" + std::to_string(entry)); }
    void MarkField(int entry, FieldMark mark, const std::string& tooltip) override {
        static constexpr const char* kMarks[] = {"none", "differs", "refused"};
        Note("mark:" + std::to_string(entry) + " " + kMarks[int(mark)] + " " + tooltip);
    }
    void SetStatusText(const std::string& text) override {
        Note("status:" + text.substr(0, text.find_last_not_of(' ') + 1));
    }
    MessageAnswer Ask(const PanelBox& box) override {
        const bool yesNo = box.buttons == MessageButtons::YesNo;
        Note("box:" + box.text + (box.detail.empty() ? "" : " | " + box.detail) +
             (!yesNo                                   ? " [OK]"
              : box.defaultAnswer == MessageAnswer::No ? " [Yes/No, No first]"
                                                       : " [Yes/No]"));
        if (!yesNo) return MessageAnswer::Ok;
        if (m_Answers.empty()) return MessageAnswer::Yes;
        const MessageAnswer answer = m_Answers.front();
        m_Answers.pop_front();
        return answer;
    }
    void SetBusy(bool busy) override { Note(busy ? "busy:on" : "busy:off"); }
    std::optional<std::string> ChooseFile(FileChoice choice) override {
        Note(choice == FileChoice::Save ? "choose:save" : "choose:load");
        return m_Chosen;
    }
    std::string LocalTimeText() const override { return kNow; }

    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override {
        if (event == WireEvent::Sent) Note("tx:" + DescribeFrame(bytes));
        if (event == WireEvent::NotTaken) Note("lost:" + DescribeFrame(bytes));
    }

    FieldTexts m_Fields;
    std::deque<MessageAnswer> m_Answers;  // then Yes
    std::optional<std::string> m_Chosen;

private:
    void Note(std::string line) { m_Timeline.push_back(std::move(line)); }
    Timeline& m_Timeline;
};

class CFakeTimers final : public ITickTimers {
public:
    void SetTicking(TickTimer, bool) override {}
};

class CNoPause final : public IPause {
public:
    void Pause(std::chrono::milliseconds) override {}
};

// The window's event queue for the watcher's reports.
class CReportQueue {
public:
    CLinkReports::PostHook Hook() {
        return [this](LinkReport report) {
            const std::lock_guard lock(m_Mutex);
            m_Queue.push_back(std::move(report));
            m_Posted.notify_all();
        };
    }
    // The next report; nothing if none comes before `deadline`.
    std::optional<LinkReport> Next(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(m_Mutex);
        if (!m_Posted.wait_until(lock, deadline, [this] { return !m_Queue.empty(); })) return {};
        LinkReport report = std::move(m_Queue.front());
        m_Queue.pop_front();
        return report;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Posted;
    std::deque<LinkReport> m_Queue;
};

class Presenter : public ::testing::Test {
protected:
    void SetUp() override {
        m_PortDir.Map(1, m_Far.SlavePath());
        m_Presenter.SetTrace(&m_Window);
        m_Presenter.Start();
    }

    void OpenCom1() {
        m_Presenter.OnSelectPort(1);
        ASSERT_TRUE(m_Presenter.Comm().IsOpen());
    }
    // Delivers the watcher's reports as the window's event loop would, until `done` holds;
    // false when it does not within the guard.
    bool DeliverUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        while (!done()) {
            const std::optional<LinkReport> report = m_Reports.Next(deadline);
            if (!report) return false;
            m_Presenter.Deliver(*report);
        }
        return true;
    }
    bool DeliverUntilABox() {
        const std::size_t boxes = Lines("box:").size();
        return DeliverUntil([&] { return Lines("box:").size() > boxes; });
    }
    void ReplyTicks(int count) {
        for (int i = 0; i < count; ++i) m_Presenter.OnTick(TickTimer::Reply);
    }
    // The device answers a read request with `values` (entry 1 first), those not empty.
    void Answer(const std::vector<std::string>& values) {
        EXPECT_EQ(m_Far.Take(8),
                  "\x01\x40"
                  "00000\x03");
        std::string bytes;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!values[i].empty()) bytes += Report(static_cast<int>(i + 1), values[i]);
        }
        m_Far.Send(bytes);
    }
    Timeline Lines(std::string_view kind) const {
        Timeline lines;
        for (const std::string& line : m_Timeline) {
            if (line.starts_with(kind)) lines.push_back(line);
        }
        return lines;
    }
    std::string LastStatus() const {
        const Timeline statuses = Lines("status:");
        return statuses.empty() ? std::string() : statuses.back();
    }
    std::string Detail(const std::string& box) const { return box.substr(box.find(" | ") + 3); }

    CPortDir m_PortDir;
    CFarEnd m_Far;
    Timeline m_Timeline;
    CFakeWindow m_Window{m_Timeline};
    CFakeTimers m_Timers;
    CNoPause m_Pause;
    CReportQueue m_Reports;
    CPanelPresenter m_Presenter{m_Window, m_Timers, m_Pause, m_Reports.Hook()};
};

std::vector<std::string> Values(const std::function<std::string(int entry)>& value) {
    std::vector<std::string> values;
    for (int entry = 1; entry <= kEntryCount; ++entry) values.push_back(value(entry));
    return values;
}

}  // namespace

// Only Latin-1 reaches the panel; the rest is refused and the field says so until the next
// action clears its mark.
TEST_F(Presenter, FieldsHoldLatin1AndSayWhatTheyRefused) {
    const Latin1Split split = SplitLatin1("1\xC3\xA9\xED\x95\x9C\xFF");  // 1, é, 한, a stray byte
    EXPECT_EQ(split.kept, "1\xC3\xA9");
    EXPECT_EQ(split.refused, "\xED\x95\x9C\xEF\xBF\xBD");
    EXPECT_EQ(ToEntryTexts({"1\xC3\xA9\xED\x95\x9C"})[0], "1\xE9");
    EXPECT_EQ(ToFieldTexts({std::string("\0\xFF", 2)})[0], std::string("\0\xC3\xBF", 3));

    m_Presenter.OnRefused(5, "\xED\x95\x9C");
    m_Presenter.OnRefused(6, "\xEA\xB0\x80\xEB\x82\x98");
    m_Presenter.OnRead();
    EXPECT_THAT(Lines("mark:"),
                ElementsAre("mark:5 refused Entry 5: only Latin-1 characters can be sent to the "
                            "panel; \"한\" was refused",
                            "mark:6 refused Entry 6: only Latin-1 characters can be sent to the "
                            "panel; \"가나\" were refused",
                            "mark:5 none Entry 5", "mark:6 none Entry 6"));
}

// A port that does not open says why, and the list greys it; choosing Disable closes the
// open one and lets its lock go.
TEST_F(Presenter, ChoosingAPortOpensItOrSaysWhyNot) {
    m_PortDir.Map(2, "/nonexistent/keltrove-tty");
    m_Presenter.OnSelectPort(2);
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_TRUE(m_Presenter.PortError());
    ASSERT_THAT(Lines("box:"), ElementsAre(StartsWith("box:Cannot open COM2 | ")));
    EXPECT_THAT(Lines("box:")[0], HasSubstr("/nonexistent/keltrove-tty"));
    const PortItem missing = DescribePortItem(2);
    EXPECT_TRUE(missing.greyed);
    EXPECT_THAT(missing.tooltip, HasSubstr("/nonexistent/keltrove-tty"));
    EXPECT_FALSE(DescribePortItem(1).greyed);
    EXPECT_THAT(DescribePortItem(1).tooltip, HasSubstr(m_Far.SlavePath()));

    OpenCom1();
    EXPECT_FALSE(m_Presenter.PortError());
    EXPECT_EQ(m_PortDir.LockFiles(), 1);
    m_Presenter.OnSelectPort(-1);  // nothing chosen in the list
    EXPECT_TRUE(m_Presenter.Comm().IsOpen());
    m_Presenter.OnSelectPort(kPortDisable);
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_EQ(m_PortDir.LockFiles(), 0);
}

// The reports fill the fields, each new one in the value font; a read that lacks an entry
// fails and says which, and the next Write asks first, No being the default.
TEST_F(Presenter, AReadFillsTheFieldsAndAFailedOneGuardsTheNextWrite) {
    OpenCom1();
    m_Presenter.OnRead();
    const auto value = [](int entry) { return entry == 5 ? "" : std::to_string(entry * 3); };
    Answer(Values(value));
    ASSERT_TRUE(DeliverUntilABox());
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        EXPECT_EQ(m_Window.m_Fields[entry - 1], entry == 5 ? "" : StoredValue(value(entry)));
    }
    EXPECT_EQ(Lines("font:").size(), 31u);
    EXPECT_EQ(LastStatus(), "status:Reading failed");
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:Entry not received: 5. Read again before writing. [OK]"));

    m_Timeline.clear();
    m_Window.m_Answers = {MessageAnswer::No};
    m_Presenter.OnWrite(m_Window.m_Fields);
    EXPECT_THAT(m_Timeline, ElementsAre("busy:on",
                                        "box:Entry 5 was not read from the panel and will be "
                                        "written as 0000. Write anyway? [Yes/No, No first]",
                                        "busy:off"));

    // A whole read takes the font to the one field that lacked it.
    m_Timeline.clear();
    m_Presenter.OnRead();
    Answer(Values([](int entry) { return std::to_string(entry); }));
    ASSERT_TRUE(DeliverUntil([&] { return LastStatus() == "status:Reading is completed"; }));
    EXPECT_THAT(Lines("font:"), ElementsAre("font:5"));
}

// Each field goes out as its Latin-1 bytes, right-aligned, while the window is busy; a write
// that fails ends the busy spell too.
TEST_F(Presenter, WriteSendsTheFieldsWhileTheWindowIsBusy) {
    OpenCom1();
    FieldTexts fields;
    fields[0] = "7";
    fields[1] = "\xC3\xA9";       // é
    fields[2] = "1\xEA\xB0\x80";  // 1 and 가, which no field would have taken
    fields[31] = "1234";
    m_Presenter.OnWrite(fields);
    Timeline expected{"busy:on",         "tx:write begin",         "status:Writing....",
                      "tx:entry 1 0007", "tx:entry 2 000\xC3\xA9", "tx:entry 3 0001"};
    for (int entry = 4; entry < kEntryCount; ++entry) {
        expected.push_back("tx:entry " + std::to_string(entry) + " 0000");
    }
    expected.insert(expected.end(), {"tx:entry 32 1234", "tx:write end",
                                     "status:Writing is Completed", "busy:off"});
    EXPECT_EQ(m_Timeline, expected);
    EXPECT_EQ(m_Far.Take(16), std::string("\x01\x10"
                                          "00000\x03\x01\x30\x01"
                                          "0007\x03",
                                          16));

    m_Timeline.clear();
    m_Presenter.OnSelectPort(kPortDisable);
    m_Presenter.OnWrite(fields);
    EXPECT_THAT(m_Timeline,
                ElementsAre("busy:on", "lost:write begin", "status:Writing failed",
                            "box:DERID Not Connected | No port is open; choose one in the port "
                            "list. [OK]",
                            "busy:off"));
}

// "DERID Not Connected" asks whether to try again, and says which port gave no answer or
// why no request went out; Yes sends the request again, for a read or a comparison.
TEST_F(Presenter, NoAnswerAsksWhetherToTryAgain) {
    m_Window.m_Answers = {MessageAnswer::No};
    m_Presenter.OnRead();
    ReplyTicks(CProtocolSession::kReplyTicks);
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:DERID Not Connected | No port is open, so no request went "
                            "out. Read again now? To choose a port first, answer No. [Yes/No]"));

    OpenCom1();
    m_Timeline.clear();
    m_Window.m_Answers = {MessageAnswer::Yes, MessageAnswer::No};
    m_Presenter.OnCompare();
    ReplyTicks(2 * CProtocolSession::kReplyTicks);
    const std::string box =
        "box:DERID Not Connected | No answer from COM1 (" + m_Far.SlavePath() +
        "). Check that the panel is switched on and its cable is plugged in. Compare again now? "
        "[Yes/No]";
    EXPECT_EQ(m_Timeline, Timeline({"tx:read request", "status:Reading failed", box,
                                    "tx:read request", "status:Reading failed", box}));

    m_PortDir.Map(2, "/nonexistent/keltrove-tty");
    m_Presenter.OnSelectPort(2);
    m_Timeline.clear();
    m_Window.m_Answers = {MessageAnswer::No};
    m_Presenter.OnRead();
    ReplyTicks(CProtocolSession::kReplyTicks);
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:DERID Not Connected | COM2 is not open, so no request went out. "
                            "Read again now? To choose COM2 in the port list again first, answer "
                            "No. [Yes/No]"));
}

// A lost line closes the port, ends the read under way and says why; what the old watcher
// reported before the port was chosen again is dropped.
TEST_F(Presenter, ALostPortClosesAndItsLateReportsAreDropped) {
    OpenCom1();
    m_Presenter.LinkEvents().OnLinkLost(1, "stale");
    m_Presenter.LinkEvents().OnQueueFull(1, 100);
    OpenCom1();
    m_Presenter.LinkEvents().OnQueueFull(1, 5);
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:m_QueueRead FULL! | COM1: 5 received bytes were dropped since "
                            "the last report, because the device sent faster than they could be "
                            "taken. [OK]"));

    m_Timeline.clear();
    m_Presenter.OnRead();
    m_Far.HangUp();
    ASSERT_TRUE(DeliverUntilABox());
    ASSERT_EQ(m_Timeline.size(), 3u);
    EXPECT_EQ(m_Timeline[1], "status:Reading failed");
    EXPECT_THAT(m_Timeline[2], StartsWith("box:Connection to COM1 lost | " + m_Far.SlavePath()));
    EXPECT_THAT(m_Timeline[2], HasSubstr("\nPlug the device in again, then choose COM1 in the "
                                         "port list. [OK]"));
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_EQ(m_PortDir.LockFiles(), 0);
}

// What the panel did not give the fields is left out of a saved file, after asking; values
// a write would not put back as they stand are named in the question and in the file.
TEST_F(Presenter, SaveAsksBeforeLeavingOutWhatWasNotRead) {
    const CScratchDir dir;
    const fs::path file = dir.Path() / "backup.txt";
    m_Window.m_Chosen = file.string();
    m_Window.m_Fields[0] = "1";  // typed before any read
    m_Window.m_Answers = {MessageAnswer::No};
    m_Presenter.OnSave();
    EXPECT_THAT(m_Timeline,
                ElementsAre("box:Entries 2 to 32 were not read from the panel. Save the table "
                            "without them? | The file leaves them out and says so; after "
                            "loading it, a write asks before sending them as 0000. [Yes/No]"));
    EXPECT_FALSE(fs::exists(file));

    OpenCom1();
    m_Presenter.OnRead();
    Answer(Values([](int entry) {
        return entry == 3 ? "12  " : entry < 10 ? std::to_string(entry) : "";
    }));
    ASSERT_TRUE(DeliverUntil([&] { return m_Window.m_Fields[8] == "0009"; }));
    ReplyTicks(CProtocolSession::kReportGapTicks);  // entry 10 never comes
    m_Timeline.clear();
    m_Presenter.OnSave();
    const std::string odd = "entry 3 holds \"12  \", which a write would store as \"0012\"";
    EXPECT_THAT(m_Timeline,
                ElementsAre("box:Entries 10 to 32 were not read from the panel. Save the table "
                            "without them? | The file leaves them out and says so; after "
                            "loading it, a write asks before sending them as 0000.\nValues a "
                            "write cannot put back as they stand:\n" +
                                odd + "\nThe file notes them in comment lines. [Yes/No]",
                            "choose:save"));
    const std::string text = ReadText(file);
    EXPECT_THAT(text, HasSubstr("# saved from the Keltrove window at " + std::string(kNow) +
                                "\n# " + odd + "\n"));
    EXPECT_THAT(text, HasSubstr("# entries 10 to 32 were not read from the panel"));
    const TableParse saved = ParseTableFile(text, MissingEntries::Allow);
    ASSERT_TRUE(saved.table);
    EXPECT_EQ(saved.table->at(2), "12  ");
    EXPECT_EQ(DescribeEntries(saved.missing), "10 to 32");

    // Through a symbolic link the link stays; a file that cannot be written says why.
    const fs::path link = dir.Path() / "link.txt";
    fs::create_symlink(file, link);
    m_Window.m_Chosen = link.string();
    m_Window.m_Fields[0] = "77";
    m_Presenter.OnSave();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_THAT(ReadText(file), HasSubstr("\n1 77\n"));
    const fs::path dangling = dir.Path() / "dangling.txt";
    fs::create_symlink("new.txt", dangling);  // its target made by the save
    m_Window.m_Chosen = dangling.string();
    m_Presenter.OnSave();
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_THAT(ReadText(dir.Path() / "new.txt"), HasSubstr("\n1 77\n"));
    m_Timeline.clear();
    m_Window.m_Chosen = (dir.Path() / "no" / "such.txt").string();
    m_Presenter.OnSave();
    EXPECT_THAT(m_Timeline.back(),
                StartsWith("box:Cannot save the table | " + (dir.Path() / "no").string()));
    EXPECT_THAT(m_Timeline.back(), HasSubstr("\nAn earlier file of that name is unchanged."));
}

// A loaded file fills the fields and sends nothing; what it left out stays unread, so a
// write asks; a file with problems changes nothing and quotes at most five of them.
TEST_F(Presenter, LoadFillsTheFieldsOrQuotesTheFilesProblems) {
    const CScratchDir dir;
    const fs::path file = dir.Path() / "table.txt";
    EntryTexts table;
    for (int entry = 1; entry <= 30; ++entry) table[entry - 1] = std::to_string(entry);
    EntrySet left;
    left.Add(31);
    left.Add(32);
    std::ofstream(file) << FormatTableFile(table, {}, left);
    m_Window.m_Chosen = file.string();
    m_Presenter.OnLoad();
    EXPECT_EQ(m_Window.m_Fields, ToFieldTexts(table));
    m_Window.m_Answers = {MessageAnswer::No};
    m_Presenter.OnWrite(m_Window.m_Fields);
    EXPECT_THAT(Lines("box:"), ElementsAre(StartsWith("box:Entries 31 and 32 were not read")));
    EXPECT_TRUE(Lines("tx:").empty());

    std::ofstream(file) << "1 12345\n2 12345\n3 12345\n4 12345\n5 12345\n6 12345\n7 12345\n";
    m_Presenter.OnLoad();
    ASSERT_EQ(Lines("box:").size(), 2u);
    const std::string detail = Detail(Lines("box:")[1]);
    EXPECT_THAT(detail, StartsWith(file.string() + ":1: "));
    EXPECT_THAT(detail, HasSubstr(":5: "));
    EXPECT_THAT(detail, Not(HasSubstr(":6: ")));
    EXPECT_THAT(detail, HasSubstr("\n... and 2 more\nNo field was changed. [OK]"));
    std::ofstream(file) << std::string("1 12\0\x01\x02", 7);
    m_Presenter.OnLoad();
    const std::string binary = Lines("box:").at(2);
    EXPECT_EQ(std::count(binary.begin(), binary.end(), '\n'), 1);
    EXPECT_EQ(m_Window.m_Fields, ToFieldTexts(table));
}

// Compare reads the panel without touching the fields, marks each that differs with the
// panel's value, and says how many; a field holding the panel's own value matches.
TEST_F(Presenter, CompareMarksWhatDiffersUntilTheNextAction) {
    OpenCom1();
    m_Presenter.OnRead();
    const auto held = [](int entry) { return entry == 6 ? "12  " : std::to_string(entry); };
    Answer(Values(held));
    ASSERT_TRUE(DeliverUntil([&] { return LastStatus() == "status:Reading is completed"; }));
    m_Window.m_Fields[4] = "55";
    m_Timeline.clear();
    m_Presenter.OnCompare();
    Answer(Values([&](int entry) { return entry == 5 ? "9999" : std::string(held(entry)); }));
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_EQ(m_Window.m_Fields[4], "55");
    EXPECT_THAT(Lines("mark:"), ElementsAre("mark:5 differs Entry 5: the panel holds \"9999\""));
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:1 entry differs from the panel: 5. | They have a red frame; the "
                            "tooltip of each shows what the panel holds. [OK]"));

    m_Timeline.clear();
    m_Presenter.OnRead();
    EXPECT_THAT(Lines("mark:"), ElementsAre("mark:5 none Entry 5"));
}
