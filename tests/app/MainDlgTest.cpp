// The main window, with a pseudo-terminal as COM1 standing in for the device (runs against
// the real device are in tests/e2e).
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <thread>

#include "AboutDlg.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "QuitSignals.h"
#include "StatusLine.h"
#include "TableFile.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

// 01 command index v v v v 03; command 0x50 is the device's report of an entry.
Bytes Frame8(std::uint8_t command, std::uint8_t index, const std::string& value) {
    const std::string frame = '\x01' + std::string{char(command), char(index)} + value + '\x03';
    return Bytes(frame.begin(), frame.end());
}

int ThreadCount() {
    using std::filesystem::directory_iterator;
    return static_cast<int>(std::distance(directory_iterator("/proc/self/task"), {}));
}

// A pseudo-terminal: the program opens the slave as COM1, the test is the far end.
struct CPtyPort {
    int master = -1;
    int slave = -1;  // held so the pty lives until the program opens it
    std::string slavePath;

    CPtyPort() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::exception();
        slavePath = name;
    }
    ~CPtyPort() {
        HangUp();
        ::close(slave);
    }
    void WriteFar(const Bytes& bytes) {
        QVERIFY(::write(master, bytes.data(), bytes.size()) == ssize_t(bytes.size()));
    }
    // `count` bytes sent by the program; fewer only when the guard ran out.
    Bytes ReadFar(std::size_t count) {
        Bytes bytes(count);
        std::size_t got = 0;
        pollfd far{master, POLLIN, 0};
        for (ssize_t n = 0; got < count && ::poll(&far, 1, kGuardMs) == 1; got += n) {
            if ((n = ::read(master, bytes.data() + got, count - got)) <= 0) break;
        }
        bytes.resize(got);
        return bytes;
    }
    // Nothing more has come from the program.
    bool Quiet() const {
        pollfd far{master, POLLIN, 0};
        return ::poll(&far, 1, 0) == 0;
    }
    // The far end goes away, as a pulled adapter does.
    void HangUp() {
        if (master != -1) ::close(master);
        master = -1;
    }
};

std::string ReadText(const QString& path) {
    std::ifstream file(path.toStdString());
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs `during` in the first pause of a write, then skips every pause.
class CCallbackPause final : public IPause {
public:
    explicit CCallbackPause(std::function<void()> during) : m_During(std::move(during)) {}
    void Pause(std::chrono::milliseconds) override {
        if (m_During) std::exchange(m_During, nullptr)();
    }

private:
    std::function<void()> m_During;
};

// Counts the events of `type` that reach `target`.
class CEventCounter final : public QObject {
public:
    CEventCounter(QObject& target, QEvent::Type type, int& count)
        : m_Target(target), m_Type(type), m_nCount(count) {
        m_Target.installEventFilter(this);
    }
    ~CEventCounter() override { m_Target.removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_Target && event->type() == m_Type) ++m_nCount;
        return false;
    }

private:
    QObject& m_Target;
    QEvent::Type m_Type;
    int& m_nCount;
};

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CPtyPort> m_Pty;
    CNoPause m_NoPause;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;

    QLineEdit& F(int entry) const { return Field(*m_Dlg, entry); }
    void Click(int id) { QTest::mouseClick(&Button(*m_Dlg, id), Qt::LeftButton); }
    void OpenCom1() {
        ChoosePort(*m_Dlg, 1);
        QVERIFY(m_Dlg->Comm().IsOpen());
    }
    bool FarIsQuiet() const { return m_Pty->Quiet(); }

    // Opens the window's menu and chooses `item`; returns every item's text.
    QStringList ChooseFromMenu(const QString& item) {
        QStringList texts;
        QTimer::singleShot(0, [&] {  // inside the menu's event loop
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                texts << action->text();
                if (action->text() == item) chosen = action;
            }
            menu->close();
            if (chosen != nullptr) chosen->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_Dlg->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_Dlg.get(), &event);
        return texts;
    }

private slots:
    void initTestCase() {
        std::thread([] {}).join();  // a sanitizer's helper thread starts with the first one
        m_PortDir = std::make_unique<CPortDir>();
    }

    void init() {
        m_Pty = std::make_unique<CPtyPort>();
        m_PortDir->Map(1, m_Pty->slavePath);
        m_Log = CMessageLog();
        m_Dlg = std::make_unique<CMainDlg>(&m_NoPause);
        m_Dlg->SetMessageHandler(m_Log.Handler());
        m_Dlg->show();
        m_Dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Dlg.get()));
    }

    void cleanup() {
        m_Dlg.reset();
        m_Pty.reset();
    }

    void startsEmptyWithItsTextsAndIdleTimers() {
        QCOMPARE(PortList(*m_Dlg).currentIndex(), -1);
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QVERIFY(F(entry).text().isEmpty());
            QCOMPARE(F(entry).toolTip(), QStringLiteral("Entry %1").arg(entry));
            QCOMPARE(F(entry).accessibleName(), F(entry).toolTip());
        }
        QStringList texts{m_Dlg->windowTitle()};
        for (const int id : {kIdRead, kIdWrite, kIdExit}) texts << Button(*m_Dlg, id).text();
        for (const QLabel* label : m_Dlg->findChildren<QLabel*>()) texts << label->text();
        QList<QGroupBox*> frames = m_Dlg->findChildren<QGroupBox*>();
        std::sort(frames.begin(), frames.end(),
                  [](const QGroupBox* a, const QGroupBox* b) { return a->x() < b->x(); });
        for (const QGroupBox* frame : frames) texts << frame->title();
        for (int i = 0; i < PortList(*m_Dlg).count(); ++i) texts << PortList(*m_Dlg).itemText(i);
        QCOMPARE(texts, QStringList({"Keltrove", "Read", "Write", "Exit", "Select Port", "KVT-xPA",
                                     "KV-xPA", "KV/T-xPA", "KV-xPE", "KV-xPE", "Disable", "COM1",
                                     "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
        QVERIFY(!m_Dlg->IsTicking(TickTimer::Reply));
        QVERIFY(!m_Dlg->IsTicking(TickTimer::Gap));
        QAccessibleInterface* status =
            QAccessible::queryAccessibleInterface(m_Dlg->findChild<CStatusLine*>());
        QVERIFY(status != nullptr);
        QCOMPARE(status->role(), QAccessible::StatusBar);
    }

    // Tab walks the fields only (never the list or a button), in the template's order, and
    // comes round; Enter moves on as Tab does and never ends the window; no frame takes a
    // click from a field; a field takes 4 characters.
    void keyboardAndFocus() {
        const QList<int> order{28, 27, 26, 25, 16, 15, 14, 13, 20, 19, 18, 17, 24, 23, 22, 21,
                               4,  3,  2,  1,  8,  7,  6,  5,  12, 11, 10, 9,  30, 29, 31, 32};
        QCOMPARE(QApplication::focusWidget(), &F(28));
        for (int step = 1; step <= order.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), &F(order[step % order.size()]));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), &F(32));
        QTest::keyClicks(&F(32), QStringLiteral("12"));
        QTest::keyClick(&F(32), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), &F(28));
        QTest::keyClick(&F(28), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(QApplication::focusWidget(), &F(27));
        QVERIFY(m_Dlg->isVisible());
        QCOMPARE(F(32).text(), QStringLiteral("12"));

        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QCOMPARE(m_Dlg->childAt(F(entry).geometry().center()), &F(entry));
        }
        QTest::mouseClick(&F(8), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), &F(8));
        QTest::keyClicks(&F(8), QStringLiteral("12345"));
        QCOMPARE(F(8).text(), QStringLiteral("1234"));

        // Enter in the port list confirms the choice shown there.
        PortList(*m_Dlg).setFocus();
        PortList(*m_Dlg).setCurrentIndex(1);
        QTest::keyClick(&PortList(*m_Dlg), Qt::Key_Return);
        QVERIFY(m_Dlg->Comm().IsOpen());
        QVERIFY(m_Dlg->isVisible());
    }

    void contextMenuOpensTheAboutBox() {
        QStringList texts;
        QTimer::singleShot(0, [&] {  // inside the menu's event loop
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            texts << menu->actions().last()->text();
            QTimer::singleShot(0, [&] {  // inside the about box's event loop
                auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
                if (about == nullptr) return;
                texts << about->windowTitle();
                for (const QLabel* label : about->findChildren<QLabel*>()) {
                    if (!label->text().isEmpty()) texts << label->text();
                }
                about->findChild<QPushButton*>()->click();
            });
            menu->actions().last()->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_Dlg->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_Dlg.get(), &event);

        QCOMPARE(texts.mid(0, 3),
                 QStringList({"Keltrove 정보(&A)...", "Keltrove 정보", "Keltrove 버전 1.0"}));
        QVERIFY(m_Dlg->isVisible());  // the about box ends alone
    }

    // A read that lacks an entry fills the rest in the value font, fails and says which;
    // the next Write asks first, and "No" sends nothing.
    void readWithAMissingEntryFailsAndGuardsTheNextWrite() {
        OpenCom1();
        Click(kIdRead);
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x40, 0x30, "0000"));

        const auto value = [](int entry) { return QString::asprintf("%04d", entry * 3); };
        for (int entry = 1; entry <= 32; ++entry) {
            if (entry != 5) m_Pty->WriteFar(Frame8(0x50, entry, value(entry).toStdString()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(m_Log.Texts().front(),
                 std::string("Entry not received: 5. Read again before writing."));
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadFailed));
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            if (entry == 5) continue;
            QCOMPARE(F(entry).text(), value(entry));
            QCOMPARE(F(entry).font().pixelSize(), 16);
        }
        QVERIFY(F(5).text().isEmpty());
        QCOMPARE(F(5).font(), m_Dlg->font());

        m_Log.Answer(MessageAnswer::No);
        Click(kIdWrite);
        QCOMPARE(m_Log.Texts().back(), std::string("Entry 5 was not read from the panel and will "
                                                   "be written as 0000. Write anyway?"));
        QVERIFY(FarIsQuiet());
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadFailed));

        // Drawn on yellow at the top left of the status rectangle, one line high.
        const QImage status = m_Dlg->grab(CStatusLine::Rect()).toImage();
        QCOMPARE(status.pixel(0, 0), qRgb(255, 255, 0));
        QVERIFY(status.pixel(0, status.height() - 1) != qRgb(255, 255, 0));
    }

    // One box that says which port gave no answer; the reply timer runs only while it
    // counts, the gap timer only while a frame is under way.
    void silentFarEndGivesNotConnectedOnceAndTimersRest() {
        OpenCom1();
        Click(kIdRead);
        QVERIFY(m_Dlg->IsTicking(TickTimer::Reply));
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(m_Log.Texts().front(), std::string("DERID Not Connected"));
        QCOMPARE(m_Log.Buttons().front(), MessageButtons::YesNo);
        QVERIFY(QString::fromStdString(m_Log.Details().front()).startsWith("COM1 ("));
        QVERIFY(!m_Dlg->IsTicking(TickTimer::Reply));
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadFailed));

        m_Pty->WriteFar(Frame8(0x50, 1, "0001"));  // a report, cut after three bytes below
        QTRY_VERIFY_WITH_TIMEOUT(F(1).text() == QStringLiteral("0001"), kGuardMs);
        m_Pty->WriteFar(Bytes{0x01, 0x50, 0x02});
        QTRY_VERIFY_WITH_TIMEOUT(m_Dlg->IsTicking(TickTimer::Gap), kGuardMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_Dlg->IsTicking(TickTimer::Gap), kGuardMs);
        QCOMPARE(m_Log.Texts().size(), std::size_t{1});
    }

    // Bytes go out as Latin-1: a received value, control bytes too, goes back unchanged; a
    // character without a Latin-1 byte goes out as '?'.
    void writeSendsTheThirtyFourFramesInOrder() {
        OpenCom1();
        const std::string received("\0\n\xE9\xFF", 4);
        m_Pty->WriteFar(Frame8(0x50, 2, received));
        QTRY_COMPARE_WITH_TIMEOUT(F(2).text(), Latin1(received), kGuardMs);
        F(1).setText(QStringLiteral("7"));
        F(3).setText(QStringLiteral("가"));
        F(32).setText(QStringLiteral("1234"));

        Click(kIdWrite);
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x10, 0x30, "0000"));
        std::map<int, std::string> sent{{1, "0007"}, {2, received}, {3, "000?"}, {32, "1234"}};
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            const std::string& value = sent.try_emplace(entry, "0000").first->second;
            QCOMPARE(m_Pty->ReadFar(8), Frame8(0x30, entry, value));
        }
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x90, 32, "1234"));
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::WriteDone));
    }

    // Clicks and keys that came while the write held the window are dropped, not replayed
    // as a second write or an exit; meanwhile the buttons and the list show disabled.
    void inputDuringAWriteIsDropped() {
        OpenCom1();
        CCallbackPause pause([&] {
            QWidget* controls[] = {&Button(*m_Dlg, kIdRead), &Button(*m_Dlg, kIdWrite),
                                   &Button(*m_Dlg, kIdExit), &PortList(*m_Dlg)};
            for (QWidget* control : controls) QVERIFY(!control->isEnabled());
            QPushButton& write = Button(*m_Dlg, kIdWrite);
            const QPointF centre = QPointF(write.rect().center());
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    &write, new QMouseEvent(type, centre, write.mapToGlobal(centre), Qt::LeftButton,
                                            Qt::LeftButton, Qt::NoModifier));
            }
            QCoreApplication::postEvent(
                QApplication::focusWidget(),
                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
        m_Dlg.reset();
        m_Dlg = std::make_unique<CMainDlg>(&pause);
        m_Dlg->SetMessageHandler(m_Log.Handler());
        m_Dlg->show();
        OpenCom1();
        Click(kIdWrite);
        QCOMPARE(m_Pty->ReadFar(34 * 8).size(), std::size_t{34 * 8});
        QCoreApplication::processEvents();
        QVERIFY(FarIsQuiet());
        QVERIFY(m_Dlg->isVisible());
        QVERIFY(Button(*m_Dlg, kIdWrite).isEnabled());
        QVERIFY(PortList(*m_Dlg).isEnabled());
    }

    void privateEventsFromOutsideDoWhatTheyName() {
        OpenCom1();
        // 1027: sends the last frame again.
        Click(kIdRead);
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x40, 0x30, "0000"));
        QEvent resend(WM_TX_FRAME);
        QApplication::sendEvent(m_Dlg.get(), &resend);
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x40, 0x30, "0000"));

        // 1025: drains what the watcher queued, whoever sends it. Events are not handled
        // while the bytes arrive, so the watcher's own WM_RX_NOTIFY cannot come first.
        m_Pty->WriteFar(Frame8(0x50, 7, "4321"));
        const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
        while (m_Dlg->Comm().m_QueueRead.Count() < 8 && std::chrono::steady_clock::now() < guard) {
            std::this_thread::yield();
        }
        QVERIFY(F(7).text().isEmpty());
        QEvent notify(WM_RX_NOTIFY);
        QApplication::sendEvent(m_Dlg.get(), &notify);
        QCOMPARE(F(7).text(), QStringLiteral("4321"));

        // 1026: evaluates the last frame again.
        F(7).setText(QStringLiteral("x"));
        QEvent evaluate(WM_RX_FRAME);
        QApplication::sendEvent(m_Dlg.get(), &evaluate);
        QCOMPARE(F(7).text(), QStringLiteral("4321"));
    }

    // A port that does not open says why, and the list keeps it.
    void failedOpenShowsTheReason() {
        m_PortDir->Map(2, "/nonexistent/keltrove-tty");
        ChoosePort(*m_Dlg, 2);
        QCOMPARE(m_Log.Texts(), std::vector<std::string>{"Cannot open COM2"});
        QVERIFY(QString::fromStdString(m_Log.Details().front()).contains("COM2"));
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 2);
        QVERIFY(!m_Dlg->Comm().IsOpen());
        m_PortDir->Map(2, "");
    }

    // A lost port closes, ends its watcher and says why; a loss reported before the user
    // chose the port again is stale.
    void lostPortShowsItsBox() {
        OpenCom1();
        m_Dlg->LinkEvents().OnLinkLost(1, "hung up");
        OpenCom1();
        QCoreApplication::processEvents();
        QVERIFY(m_Log.Texts().empty());

        const int threadsOpen = ThreadCount();
        m_Pty->HangUp();
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(m_Log.Texts().front(), std::string("Connection to COM1 lost"));
        // The watcher's reason, then what to do.
        const QStringList detail = QString::fromStdString(m_Log.Details().front()).split('\n');
        QCOMPARE(detail.size(), 2);
        QVERIFY(detail[0].startsWith(m_Pty->slavePath.c_str()));
        QVERIFY(!m_Dlg->Comm().IsOpen());
        QCOMPARE(m_PortDir->LockFiles(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threadsOpen - 1, kGuardMs);  // once reaped
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 1);
    }

    // However fast the watcher reports, one notification and one "m_QueueRead FULL!" wait
    // at a time; the dropped bytes are added up, and those dropped while the box is open
    // come with the next box.
    void aFloodOfReportsQueuesOneEventOfEachKind() {
        OpenCom1();
        int notifications = 0;
        CEventCounter counter(*m_Dlg, WM_RX_NOTIFY, notifications);
        std::thread watcher([this] {
            for (int i = 0; i < 100'000; ++i) m_Dlg->LinkEvents().OnRxNotify(1);
            for (int i = 0; i < 1000; ++i) m_Dlg->LinkEvents().OnQueueFull(1, 2048);
        });
        watcher.join();
        m_Dlg->SetMessageHandler([&](const BoxRequest& box) {
            m_Log.Handler()(box);
            if (m_Log.Texts().size() == 1) {
                m_Dlg->LinkEvents().OnQueueFull(1, 100);  // while the box is open
                QCoreApplication::processEvents();
            }
            return MessageAnswer::Ok;
        });
        QCoreApplication::processEvents();
        QCOMPARE(notifications, 1);
        QCOMPARE(m_Log.Texts(), std::vector<std::string>{"m_QueueRead FULL!"});
        QVERIFY(QString::fromStdString(m_Log.Details().front()).contains("COM1: 2048000 "));
        m_Dlg->LinkEvents().OnQueueFull(1, 5);
        QCoreApplication::processEvents();
        QCOMPARE(m_Log.Texts().size(), std::size_t{2});
        QVERIFY(QString::fromStdString(m_Log.Details().back()).contains("COM1: 105 "));
    }

    // Load fills the fields and sends nothing, or changes nothing; Save writes what they
    // show; Compare reads the panel without touching them and marks what differs.
    void tableMenuLoadsSavesAndComparesWithThePanel() {
        OpenCom1();
        QTemporaryDir dir;
        QString chosen;
        m_Dlg->SetFileChooser([&](bool) { return chosen; });
        EntryTexts table;
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            table[static_cast<std::size_t>(entry - 1)] = std::to_string(entry * 11);
        }
        chosen = dir.filePath("bad.txt");
        std::ofstream(chosen.toStdString()) << "1 1\n2 12345\n";
        QCOMPARE(ChooseFromMenu("Load table..."),
                 QStringList({"Save table as...", "Load table...", "Compare with panel", "Close",
                              "", "Keltrove 정보(&A)..."}));
        QCOMPARE(m_Log.Texts(), std::vector<std::string>{"Cannot load the table"});
        QVERIFY(QString::fromStdString(m_Log.Details().back()).contains("bad.txt:2: entry 2"));
        QVERIFY(F(1).text().isEmpty());

        chosen = dir.filePath("good.txt");
        std::ofstream(chosen.toStdString()) << FormatTableFile(table);
        ChooseFromMenu("Load table...");
        QCOMPARE(F(3).text(), QStringLiteral("33"));
        QVERIFY(FarIsQuiet());

        chosen = dir.filePath("saved.txt");
        F(3).setText(QStringLiteral("x"));
        ChooseFromMenu("Save table as...");
        table[2] = "x";
        QCOMPARE(ParseTableFile(ReadText(chosen)).table, std::optional<EntryTexts>(table));
        chosen = dir.filePath("no/such/folder/saved.txt");
        ChooseFromMenu("Save table as...");
        QCOMPARE(m_Log.Texts().back(), std::string("Cannot save the table"));
        QVERIFY(QString::fromStdString(m_Log.Details().back()).startsWith(chosen));

        ChooseFromMenu("Compare with panel");
        QCOMPARE(m_Pty->ReadFar(8), Frame8(0x40, 0x30, "0000"));
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            const FrameValue value = AlignValue(entry == 5 ? "9999" : table[entry - 1]);
            m_Pty->WriteFar(Frame8(0x50, entry, std::string(value.begin(), value.end())));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().back(),
                                  std::string("1 entry differs from the panel: 5."), kGuardMs);
        QCOMPARE(F(5).text(), QStringLiteral("55"));  // the fields stay as they were
        QVERIFY(F(5).toolTip().contains("9999"));
        QVERIFY(!F(5).styleSheet().isEmpty());
        QVERIFY(F(4).styleSheet().isEmpty());
    }

    void endingClosesThePort_data() {
        QTest::addColumn<QString>("way");
        for (const char* way : {"Escape", "Exit", "close box", "SIGTERM"})
            QTest::newRow(way) << way;
    }

    // Every way of ending closes the port and leaves no thread and no lock file.
    void endingClosesThePort() {
        QFETCH(QString, way);
        const CQuitSignals quit([this] { m_Dlg->reject(); });  // as CMainApp wires it
        const int threads = ThreadCount();
        OpenCom1();
        QCOMPARE(ThreadCount(), threads + 1);
        QCOMPARE(m_PortDir->LockFiles(), 1);
        m_Dlg->setResult(-1);
        if (way == "Exit") {
            Click(kIdExit);
        } else if (way == "close box") {
            m_Dlg->close();
        } else if (way == "SIGTERM") {
            ::raise(SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!m_Dlg->isVisible(), kGuardMs);
        } else {
            QTest::keyClick(&F(28), Qt::Key_Escape);
        }
        QVERIFY(!m_Dlg->isVisible());
        QCOMPARE(m_Dlg->result(), int(QDialog::Rejected));
        QVERIFY(!m_Dlg->Comm().IsOpen());
        QCOMPARE(m_PortDir->LockFiles(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ThreadCount(), threads, kGuardMs);  // once reaped
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
