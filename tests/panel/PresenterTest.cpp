// The presenter under the window, with a fake window and fake timers on one timeline, and a
// pseudo-terminal as COM1 where a port must open; the test plays the device at its far end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>

#include "FakeServer.h"
#include "FarEnd.h"
#include "PanelPresenter.h"
#include "PortDir.h"
#include "Ser2Net.h"
#include "TableDiff.h"

using namespace keltrove;
using keltrove::test::CFarEnd;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

namespace fs = std::filesystem;
using Timeline = std::vector<std::string>;

constexpr std::chrono::milliseconds kGuard{test::kGuardMs};

// The device's report of `entry`: four bytes as they stand, a shorter value as a write of it
// would have stored it.
std::string Report(int entry, const std::string& value) {
    const std::string held = value.size() == kValueSize ? value : StoredValue(value);
    return std::string{'\x01', '\x50', static_cast<char>(entry)} + held + '\x03';
}

// The window, as the presenter sees it; what it is asked to do goes on the timeline:
// "status:Reading failed", "box:TEXT | DETAIL [Yes/No]", "font:5", "mark:5 differs TIP",
// "activity:writing", "choose:save", and each frame the session sends, "tx:01 40 ...".
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
        return yesNo ? m_Answer : MessageAnswer::Ok;
    }
    void ShowActivity(Activity activity) override {
        static constexpr const char* kActivities[] = {"idle", "reading", "writing", "connecting"};
        Note(std::string("activity:") + kActivities[int(activity)]);
    }
    std::optional<std::string> ChooseFile(FileChoice choice) override {
        Note(choice == FileChoice::Save ? "choose:save" : "choose:load");
        return m_Chosen;
    }

    void OnWire(WireEvent event, std::span<const std::uint8_t> bytes) override {
        if (event == WireEvent::Sent || event == WireEvent::NotTaken) Note("tx:" + HexBytes(bytes));
    }

    FieldTexts m_Fields;
    MessageAnswer m_Answer = MessageAnswer::Yes;  // to every Yes/No box
    std::optional<std::string> m_Chosen;

private:
    void Note(std::string line) { m_Timeline.push_back(std::move(line)); }
    Timeline& m_Timeline;
};

class CFakeTimers final : public ITickTimers {
public:
    void SetTicking(TickTimer, bool) override {}
};

// The write's pauses take no time; `m_OnPause` sees each one's number, from 1.
class CNoPause final : public IPause {
public:
    void Pause(std::chrono::milliseconds) override {
        if (m_OnPause) m_OnPause(++m_nPauses);
    }
    std::function<void(int)> m_OnPause;

private:
    int m_nPauses = 0;
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
        m_Dir.Map(1, m_Far.SlavePath());
        m_Presenter.SetTrace(&m_Window);
        m_Presenter.Start();
    }

    void OpenCom1() {
        m_Presenter.OnSelectPort(1);
        ASSERT_TRUE(m_Presenter.Comm().IsOpen());
    }
    // Delivers the watcher's reports as the window's event loop would, until `done` holds;
    // false when it does not within the guard.
    bool DeliverUntil(const std::function<bool()>& done, std::chrono::milliseconds guard = kGuard) {
        const auto deadline = std::chrono::steady_clock::now() + guard;
        while (!done()) {
            const std::optional<LinkReport> report = m_Reports.Next(deadline);
            if (!report) return false;
            m_Presenter.Deliver(*report);
        }
        return true;
    }
    // Delivers what is posted already, waiting for nothing.
    void DeliverPosted() {
        DeliverUntil([] { return false; }, std::chrono::milliseconds(0));
    }
    bool DeliverUntilABox() {
        const std::size_t boxes = Lines("box:").size();
        return DeliverUntil([&] { return Lines("box:").size() > boxes; });
    }
    void ReplyTicks(int count) {
        for (int i = 0; i < count; ++i) m_Presenter.OnTick(TickTimer::Reply);
    }
    // The device answers a read request with the value of each entry, those not empty.
    void Answer(const std::function<std::string(int entry)>& value) {
        const std::string request = m_Far.Take(8);
        ASSERT_EQ(request.size(), 8u);
        EXPECT_EQ(request[1], '\x40');
        std::string bytes;
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            if (const std::string text = value(entry); !text.empty()) bytes += Report(entry, text);
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

    test::CPortDir m_Dir;
    CFarEnd m_Far;
    Timeline m_Timeline;
    CFakeWindow m_Window{m_Timeline};
    CFakeTimers m_Timers;
    CNoPause m_Pause;
    CReportQueue m_Reports;
    CPanelPresenter m_Presenter{m_Window, m_Timers, m_Pause, m_Reports.Hook()};
};

}  // namespace

// A port that does not open says why; choosing Disable closes the open one and lets its lock
// go.
TEST_F(Presenter, ChoosingAPortOpensItOrSaysWhyNot) {
    m_Dir.Map(2, "/nonexistent/keltrove-tty");
    m_Presenter.OnSelectPort(2);
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_TRUE(m_Presenter.PortError());
    ASSERT_THAT(Lines("box:"), ElementsAre(StartsWith("box:Cannot open COM2 | ")));
    EXPECT_THAT(Lines("box:")[0], HasSubstr("/nonexistent/keltrove-tty"));

    OpenCom1();
    EXPECT_FALSE(m_Presenter.PortError());
    EXPECT_EQ(m_Dir.LockFiles(), 1);
    EXPECT_EQ(LastStatus(), "status:");  // what it said was about another port
    m_Presenter.OnSelectPort(-1);        // nothing chosen in the list
    EXPECT_TRUE(m_Presenter.Comm().IsOpen());
    m_Presenter.OnSelectPort(kPortDisable);
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_EQ(m_Dir.LockFiles(), 0);
}

// A read that lacks entries fills the rest, each in the value font. A save then asks before
// leaving them out, and names in its question and in the file the values a write would not
// put back as they stand. Loaded again, the file leaves them unread: Write asks first, No
// being the default.
TEST_F(Presenter, AFailedReadSavedAndLoadedAgainGuardsTheWrite) {
    const fs::path file = m_Dir.File("backup.txt");
    m_Window.m_Chosen = file.string();
    m_Window.m_Answer = MessageAnswer::No;
    m_Presenter.OnSave();  // nothing read yet, so every entry would be left out
    EXPECT_FALSE(fs::exists(file));
    m_Window.m_Answer = MessageAnswer::Yes;

    OpenCom1();
    m_Presenter.OnRead();
    Answer([](int entry) { return entry == 3 ? "12  " : entry < 10 ? std::to_string(entry) : ""; });
    ASSERT_TRUE(DeliverUntil([&] { return m_Window.m_Fields[8] == "0009"; }));
    ReplyTicks(CProtocolSession::kReportGapTicks);  // entry 10 never comes
    EXPECT_EQ(LastStatus(), "status:Reading failed");
    EXPECT_EQ(Lines("font:").size(), 9u);
    const FieldTexts partial = m_Window.m_Fields;

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
    const std::string text = test::FileText(file);
    EXPECT_THAT(text, HasSubstr("# saved from the Keltrove window at "));
    EXPECT_THAT(text, HasSubstr("\n# " + odd + "\n"));
    EXPECT_THAT(text, HasSubstr("# entries 10 to 32 were not read from the panel"));

    // A whole read takes the font to the fields that lacked it, and leaves nothing unread.
    m_Timeline.clear();
    m_Presenter.OnRead();
    Answer([](int entry) { return std::to_string(entry); });
    ASSERT_TRUE(DeliverUntil([&] { return LastStatus() == "status:Reading is completed"; }));
    const Timeline fonts = Lines("font:");
    ASSERT_EQ(fonts.size(), 23u);
    EXPECT_EQ(fonts.front(), "font:10");

    // Neither Load nor Save nor a change of port acts behind the back of a read under way.
    m_Window.m_Answer = MessageAnswer::No;
    m_Presenter.OnRead();
    m_Presenter.OnLoad();
    m_Presenter.OnSave();
    m_Presenter.OnSelectPort(kPortDisable);
    EXPECT_THAT(Lines("choose:"), ElementsAre());
    EXPECT_TRUE(m_Presenter.Comm().IsOpen());
    ReplyTicks(CProtocolSession::kReplyTicks);  // no answer: the read ends

    m_Presenter.OnLoad();
    EXPECT_EQ(m_Window.m_Fields, partial);
    m_Timeline.clear();
    m_Window.m_Answer = MessageAnswer::No;
    m_Presenter.OnWrite();
    EXPECT_THAT(m_Timeline, ElementsAre("activity:writing",
                                        "box:Entries 10 to 32 were not read from the panel and "
                                        "will be written as 0000. Write anyway? [Yes/No, No first]",
                                        "activity:idle"));
}

// A save through a symbolic link keeps the link, also one whose target the save makes; a
// file that cannot be written says why.
TEST_F(Presenter, ASaveGoesThroughALinkOrSaysWhyItCannot) {
    const fs::path file = m_Dir.File("table.txt");
    std::ofstream(file) << "old";
    fs::create_symlink(file, m_Dir.File("link.txt"));
    fs::create_symlink("new.txt", m_Dir.File("dangling.txt"));
    m_Window.m_Fields[0] = "77";
    for (const char* name : {"link.txt", "dangling.txt"}) {
        m_Window.m_Chosen = m_Dir.File(name).string();
        m_Presenter.OnSave();
        EXPECT_TRUE(fs::is_symlink(m_Dir.File(name))) << name;
    }
    EXPECT_THAT(test::FileText(file), HasSubstr("\n1 77\n"));
    EXPECT_THAT(test::FileText(m_Dir.File("new.txt")), HasSubstr("\n1 77\n"));

    m_Window.m_Chosen = m_Dir.File("no/such.txt").string();
    m_Presenter.OnSave();
    EXPECT_THAT(m_Timeline.back(),
                StartsWith("box:Cannot save the table | " + m_Dir.File("no").string()));
    EXPECT_THAT(m_Timeline.back(), HasSubstr("\nAn earlier file of that name is unchanged."));
}

// A file with problems changes no field and quotes at most five of them; a binary one, one.
TEST_F(Presenter, ALoadThatFailsQuotesTheFilesProblems) {
    const fs::path file = m_Dir.File("table.txt");
    m_Window.m_Chosen = file.string();
    m_Window.m_Fields[0] = "1";
    const FieldTexts typed = m_Window.m_Fields;
    std::ofstream(file) << "1 12345\n2 12345\n3 12345\n4 12345\n5 12345\n6 12345\n7 12345\n";
    m_Presenter.OnLoad();
    std::ofstream(file) << std::string("1 12\0\x01\x02", 7);
    m_Presenter.OnLoad();
    const Timeline boxes = Lines("box:");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_THAT(boxes[0], StartsWith("box:Cannot load the table | " + file.string() + ":1: "));
    EXPECT_THAT(boxes[0], HasSubstr(":5: "));
    EXPECT_THAT(boxes[0], Not(HasSubstr(":6: ")));
    EXPECT_THAT(boxes[0], HasSubstr("\n... and 2 more\nNo field was changed. [OK]"));
    EXPECT_EQ(std::count(boxes[1].begin(), boxes[1].end(), '\n'), 1);
    EXPECT_EQ(m_Window.m_Fields, typed);
}

// A write holds the window until its read-back has ended, and only a read-back that shows
// every entry as written makes it "Writing is Completed"; otherwise one box says why.
TEST_F(Presenter, AWriteIsCompletedOnlyWhenItsReadBackShowsTheTable) {
    OpenCom1();
    m_Window.m_Fields[2] = "1";
    const auto write = [&](const std::function<std::string(int)>& held) {
        m_Timeline.clear();
        m_Presenter.OnWrite();
        EXPECT_EQ(m_Presenter.CurrentActivity(), Activity::Writing);
        EXPECT_EQ(m_Far.Take(kWriteFrameCount * 8).size(), std::size_t{kWriteFrameCount * 8});
        if (held) return Answer(held);
        ReplyTicks(CProtocolSession::kReplyTicks);
    };
    write([](int entry) { return entry == 3 ? "1" : "0000"; });
    ASSERT_TRUE(DeliverUntil([&] { return LastStatus() != "status:Writing...."; }));
    EXPECT_EQ(LastStatus(), "status:Writing is Completed");
    EXPECT_THAT(Lines("box:"), ElementsAre());
    EXPECT_EQ(m_Timeline.back(), "activity:idle");

    write([](int entry) { return entry == 3 ? "0003" : "0000"; });
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_EQ(LastStatus(), "status:Writing failed");
    EXPECT_THAT(Lines("mark:"), ElementsAre(StartsWith("mark:3 differs")));
    ASSERT_THAT(Lines("box:"), ElementsAre(HasSubstr("entry 3 read back otherwise")));
    EXPECT_THAT(Lines("box:")[0], HasSubstr("\"0003\""));

    write(nullptr);  // a panel that stores the write but never answers
    EXPECT_EQ(LastStatus(), "status:Writing failed");
    ASSERT_THAT(Lines("box:"), ElementsAre(StartsWith("box:DERID Not Connected | The table was "
                                                      "sent to COM1 (" +
                                                      m_Far.SlavePath() + ")")));
    EXPECT_THAT(Lines("box:")[0], HasSubstr("no report within 0.25 s"));
    EXPECT_EQ(m_Timeline.back(), "activity:idle");
}

// A line that hangs up under a write gives one box, which says both that the write stopped
// and that the connection is lost; with no port, the write says that none is chosen.
TEST_F(Presenter, AWriteCutByAHangUpGivesOneBox) {
    OpenCom1();
    m_Pause.m_OnPause = [this](int pause) {
        if (pause == 12) m_Far.HangUp();  // after entry 11 went out
    };
    m_Presenter.OnWrite();
    DeliverPosted();  // the port is closed, so its watcher has posted all it will
    ASSERT_THAT(Lines("box:"), ElementsAre(StartsWith("box:Connection to COM1 lost | The write "
                                                      "stopped after entry 11 of 32")));
    EXPECT_EQ(LastStatus(), "status:Writing failed");
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());

    m_Timeline.clear();
    m_Presenter.OnSelectPort(kPortDisable);
    m_Presenter.OnWrite();
    EXPECT_THAT(Lines("box:"), ElementsAre("box:DERID Not Connected | No port is chosen; choose "
                                           "one in the port list. [OK]"));
}

// "DERID Not Connected" says which port gave no answer, or why no request went out, and asks
// whether to read, or compare, again.
TEST_F(Presenter, NoAnswerSaysWhyAndAsksWhetherToTryAgain) {
    m_Window.m_Answer = MessageAnswer::No;
    const auto unanswered = [this](void (CPanelPresenter::*action)()) {
        m_Timeline.clear();
        (m_Presenter.*action)();
        ReplyTicks(CProtocolSession::kReplyTicks);
        return Lines("box:");
    };
    // With no port to ask, No is the default, so that Enter does not ask again at once.
    EXPECT_THAT(unanswered(&CPanelPresenter::OnCompare),
                ElementsAre("box:DERID Not Connected | No port is chosen, so no request went "
                            "out. Compare again now? To choose a port first, answer No. [Yes/No, "
                            "No first]"));
    OpenCom1();
    EXPECT_THAT(unanswered(&CPanelPresenter::OnRead),
                ElementsAre("box:DERID Not Connected | COM1 (" + m_Far.SlavePath() +
                            "): no report within 0.25 s. Check that the panel is switched on and "
                            "its cable is plugged in. Read again now? [Yes/No]"));
    m_Dir.Map(2, "/nonexistent/keltrove-tty");
    m_Presenter.OnSelectPort(2);
    EXPECT_THAT(unanswered(&CPanelPresenter::OnRead),
                ElementsAre(AllOf(StartsWith("box:DERID Not Connected | COM2 is not open"),
                                  HasSubstr("[Yes/No, No first]"))));
}

// A lost line closes the port, ends the read under way and says why; what the old watcher
// reported before the port was chosen again is dropped, and holds back nothing of the new one.
// The lost port is awaited, and opened again once it is back.
TEST_F(Presenter, ALostPortClosesAndItsLateReportsAreDropped) {
    OpenCom1();
    m_Presenter.LinkEvents().OnRxNotify(1);
    m_Presenter.LinkEvents().OnLinkLost(1, "stale");
    m_Presenter.LinkEvents().OnQueueFull(1, 100);
    OpenCom1();
    m_Presenter.LinkEvents().OnQueueFull(1, 5);
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:m_QueueRead FULL! | COM1: 5 received bytes were dropped since "
                            "the last report, because the device sent faster than they could be "
                            "taken. [OK]"));
    m_Far.Send(Report(7, "0007"));
    ASSERT_TRUE(DeliverUntil([&] { return m_Window.m_Fields[6] == "0007"; }));

    m_Timeline.clear();
    m_Presenter.OnRead();
    m_Far.HangUp();
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_THAT(Lines("status:"), ElementsAre("status:Reading failed"));
    ASSERT_THAT(Lines("box:"),
                ElementsAre(StartsWith("box:Connection to COM1 lost | " + m_Far.SlavePath())));
    EXPECT_FALSE(m_Presenter.Comm().IsOpen());
    EXPECT_EQ(m_Dir.LockFiles(), 0);

    // The adapter comes back under the same name, held at first by another program, which
    // is named once; once it lets go, the port opens by itself, sends nothing, and reads.
    EXPECT_TRUE(m_Presenter.IsAwaitingPort());
    CFarEnd back;
    CSerialLink other;
    ASSERT_EQ(other.Open(back.SlavePath(), kLineBaud, 9), 1) << other.LastError();
    m_Timeline.clear();
    m_Dir.Map(1, back.SlavePath());
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_THAT(Lines("box:"), ElementsAre(StartsWith("box:Cannot open COM1 | ")));
    other.Close();
    m_Dir.Map(1, back.SlavePath());  // a change the watch sees, as the holder's going is not
    ASSERT_TRUE(DeliverUntil([&] { return LastStatus() == "status:COM1 is back"; }));
    EXPECT_EQ(Lines("box:").size(), 1u);
    EXPECT_FALSE(m_Presenter.IsAwaitingPort());
    EXPECT_TRUE(back.Quiet());
    m_Presenter.OnRead();
    EXPECT_EQ(back.Take(8)[1], '\x40');
}

// A network port says whom it waits for while it connects, and holds the window meanwhile.
// Lost, it is not tried again and again, each try holding the window: it is chosen again.
TEST_F(Presenter, ANetworkPortSaysWhomItWaitsForAndIsChosenAgainByHand) {
    const std::string closed = "tcp://127.0.0.1:" + std::to_string(test::FreeLocalPort());
    m_Dir.Map(2, closed);
    m_Presenter.OnSelectPort(2);
    EXPECT_THAT(m_Timeline,
                ElementsAre("status:", "status:Connecting to COM2 (" + closed + ")...",
                            "activity:connecting", "activity:idle", "status:",
                            AllOf(StartsWith("box:Cannot open COM2 | "),
                                  HasSubstr("refused the connection"),
                                  Not(HasSubstr("by itself")))));
    EXPECT_FALSE(m_Presenter.IsAwaitingPort());

    test::CFakeServer server;
    m_Dir.Map(3, server.Url());
    m_Presenter.OnSelectPort(3);
    ASSERT_TRUE(server.Negotiated());
    ASSERT_TRUE(m_Presenter.Comm().IsOpen());
    m_Timeline.clear();
    server.Drop();
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_THAT(Lines("box:"), ElementsAre(AllOf(StartsWith("box:Connection to COM3 lost | "),
                                                 HasSubstr("choose COM3 again"))));
    EXPECT_FALSE(m_Presenter.IsAwaitingPort());
}

// Compare reads the panel without touching the fields, marks each that differs with the
// panel's value, and says how many; a field holding the panel's own value matches. The next
// action clears the marks.
TEST_F(Presenter, CompareMarksWhatDiffersUntilTheNextAction) {
    OpenCom1();
    const auto held = [](int entry) { return entry == 6 ? "12  " : std::to_string(entry); };
    for (int entry = 1; entry <= kEntryCount; ++entry) m_Window.m_Fields[entry - 1] = held(entry);
    m_Window.m_Fields[4] = "55";
    m_Presenter.OnCompare();
    Answer([&](int entry) { return entry == 5 ? "9999" : held(entry); });
    ASSERT_TRUE(DeliverUntilABox());
    EXPECT_EQ(m_Window.m_Fields[4], "55");
    EXPECT_THAT(Lines("font:"), ElementsAre());
    EXPECT_THAT(Lines("mark:"), ElementsAre("mark:5 differs Entry 5: the panel holds \"9999\""));
    EXPECT_THAT(Lines("box:"),
                ElementsAre("box:1 entry differs from the panel: 5. | They have a red frame; the "
                            "tooltip of each shows what the panel holds. [OK]"));

    m_Timeline.clear();
    m_Presenter.OnRead();
    EXPECT_THAT(Lines("mark:"), ElementsAre("mark:5 none Entry 5"));
}
