// The main window, with a pseudo-terminal as COM1 standing in for the device (runs against
// the real device are in tests/e2e).

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "FarEnd.h"
#include "MessageBox.h"
#include "PrivateMessages.h"
#include "QuitSignals.h"
#include "StatusLine.h"
#include "StopSignals.h"
#include "TableFile.h"
#include "TableFiles.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

// 01 command index v v v v 03; command 0x50 is the device's report of an entry.
std::string Frame8(std::uint8_t command, std::uint8_t index, const std::string& value) {
    return '\x01' + std::string{char(command), char(index)} + value + '\x03';
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

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

private:
    static inline QString s_WireLines;  // what the wire log said, each line whole
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CFarEnd> m_Pty;
    CNoPause m_NoPause;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;

    QLineEdit& F(int entry) const { return Field(*m_Dlg, entry); }
    void Click(int id) { QTest::mouseClick(&Button(*m_Dlg, id), Qt::LeftButton); }
    void OpenCom1() {
        ChoosePort(*m_Dlg, 1);
        QVERIFY(m_Dlg->Presenter().Comm().IsOpen());
    }
    // With `answers` null, real boxes.
    void ShowDialog(IPause& pause, IDialogAnswers* answers) {
        m_Dlg = std::make_unique<CMainDlg>(&pause, answers);
        m_Dlg->show();
        m_Dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Dlg.get()));
    }

    // Opens the window's menu and chooses `item`.
    void ChooseFromMenu(const QString& item) {
        QTimer::singleShot(0, [&] {  // inside the menu's event loop
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->text().section(QLatin1Char('\t'), 0, 0) == item) chosen = action;
            }
            menu->close();
            if (chosen != nullptr) chosen->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_Dlg->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_Dlg.get(), &event);
    }

    // The program reads the table: each report goes out as the device sends it, and the
    // read request comes first.
    void AnswerRead(const std::function<std::string(int entry)>& value) {
        QCOMPARE(m_Pty->Take(8), Frame8(0x40, 0x30, "0000"));
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            if (const std::string text = value(entry); !text.empty()) {
                m_Pty->Send(Frame8(0x50, entry, text));
            }
        }
    }

private slots:
    void initTestCase() {
        std::thread([] {}).join();  // a sanitizer's helper thread starts with the first one
        m_PortDir = std::make_unique<CPortDir>();
        // The wire log, which the windows made from here on write to.
        QLoggingCategory::setFilterRules(QStringLiteral("keltrove.wire.debug=true"));
        qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& line) {
                if (QLatin1String(context.category) == QLatin1String("keltrove.wire")) {
                    s_WireLines += line;
                }
            });
    }

    void init() {
        m_Pty = std::make_unique<CFarEnd>();
        m_PortDir->Map(1, m_Pty->SlavePath());
        m_Log = CMessageLog();
        ShowDialog(m_NoPause, &m_Log);
    }

    void cleanup() {
        m_Dlg.reset();
        m_Pty.reset();
    }

    // Nothing is chosen at first; the list greys a port that cannot be opened now and says
    // why, as it stands when the list opens; Enter in the list confirms the choice shown.
    void portListShowsEachPortAsItStandsNow() {
        QComboBox& list = PortList(*m_Dlg);
        QCOMPARE(list.currentIndex(), -1);
        m_PortDir->Map(2, "/nonexistent/keltrove-tty");
        list.showPopup();
        const QString com1 = list.itemData(1, Qt::ToolTipRole).toString();
        QVERIFY(com1.contains(QString::fromStdString(m_Pty->SlavePath())));
        QVERIFY(!list.itemData(1, Qt::ForegroundRole).isValid());
        QVERIFY(list.itemData(2, Qt::ForegroundRole).isValid());
        list.hidePopup();
        m_PortDir->Map(2, "");

        list.setFocus();
        list.setCurrentIndex(1);
        QTest::keyClick(&list, Qt::Key_Return);
        QVERIFY(m_Dlg->Presenter().Comm().IsOpen());
        QVERIFY(m_Dlg->isVisible());
    }

    // Tab walks the fields only (never the list or a button), in the template's order, and
    // comes round; Enter moves on as Tab does and never ends the window; no frame takes a
    // click from a field, which a reader names by its entry; a field takes 4 characters.
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
            QCOMPARE(F(entry).accessibleName(), QStringLiteral("Entry %1").arg(entry));
        }
        QTest::mouseClick(&F(8), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), &F(8));
        QTest::keyClicks(&F(8), QStringLiteral("12345"));
        QCOMPARE(F(8).text(), QStringLiteral("1234"));
    }

    // Every action from the keyboard, wherever the focus is: Ctrl+1 chooses COM1 and Ctrl+R
    // reads; Ctrl+W, which closes windows elsewhere, sends nothing; Ctrl+Shift+W writes. The
    // clicks and keys (Escape's too) that came while the write held the window are dropped,
    // not replayed, and the buttons and the list show disabled meanwhile. The port list is
    // named for screen readers.
    void everyActionFromTheKeyboard() {
        QCOMPARE(PortList(*m_Dlg).accessibleName(), QStringLiteral("Select Port"));
        QTest::keyClick(&F(28), Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 1);
        QCOMPARE(m_PortDir->LockFiles(), 1);
        QTest::keyClick(&F(28), Qt::Key_R, Qt::ControlModifier);
        AnswerRead([](int entry) { return std::to_string(1000 + entry); });
        QTRY_COMPARE_WITH_TIMEOUT(F(32).text(), QStringLiteral("1032"), kGuardMs);
        QTest::keyClick(&F(28), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(m_Pty->Quiet());

        CCallbackPause pause([&] {
            for (const int id : {IDC_READ, IDC_WRITE, IDC_EXIT}) {
                QVERIFY(!Button(*m_Dlg, id).isEnabled());
            }
            QVERIFY(!PortList(*m_Dlg).isEnabled());
            QPushButton& write = Button(*m_Dlg, IDC_WRITE);
            const QPointF centre = QPointF(write.rect().center());
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    &write, new QMouseEvent(type, centre, write.mapToGlobal(centre), Qt::LeftButton,
                                            Qt::LeftButton, Qt::NoModifier));
            }
            for (const auto& [key, modifiers] : {std::pair{Qt::Key_R, Qt::ControlModifier},
                                                 std::pair{Qt::Key_0, Qt::ControlModifier},
                                                 std::pair{Qt::Key_Escape, Qt::NoModifier}}) {
                QCoreApplication::postEvent(QApplication::focusWidget(),
                                            new QKeyEvent(QEvent::KeyPress, key, modifiers));
            }
        });
        ShowDialog(pause, &m_Log);
        QTest::keyClick(&F(28), Qt::Key_1, Qt::ControlModifier);
        QTest::keyClick(&F(28), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(m_Pty->Take(35 * 8).size(), std::size_t{35 * 8});  // the write and its read-back
        for (int entry = 1; entry <= kEntryCount; ++entry) m_Pty->Send(Frame8(0x50, entry, "0000"));
        QTRY_VERIFY_WITH_TIMEOUT(Button(*m_Dlg, IDC_WRITE).isEnabled(), kGuardMs);
        QCOMPARE(StatusText(*m_Dlg), StatusText(SessionStatus::WriteDone));
        QCoreApplication::processEvents();
        QVERIFY(m_Pty->Quiet());
        QVERIFY(m_Dlg->isVisible());
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 1);
    }

    // A field refuses what the panel cannot take, typed or pasted, keeps the rest and says
    // so in its tooltip; what it holds goes out one byte a character, control bytes of a
    // received value included.
    void fieldsTakeLatin1OnlyAndSendItByteForByte() {
        OpenCom1();
        const std::string received("\0\n\xE9\xFF", 4);
        m_Pty->Send(Frame8(0x50, 2, received));
        QTRY_COMPARE_WITH_TIMEOUT(F(2).text(), Latin1(received), kGuardMs);

        QTest::keyClicks(&F(1), QStringLiteral("1"));
        QKeyEvent hangul(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("한"));
        QApplication::sendEvent(&F(1), &hangul);
        QCOMPARE(F(1).text(), QStringLiteral("1"));
        QVERIFY(F(1).toolTip().endsWith(QStringLiteral("\"한\" was refused")));
        QVERIFY(F(1).styleSheet().isEmpty());  // a refusal, not a difference
        QApplication::clipboard()->setText(QStringLiteral("é가나"));
        F(3).paste();
        QCOMPARE(F(3).text(), QStringLiteral("é"));
        QVERIFY(F(3).toolTip().endsWith(QStringLiteral("\"가나\" were refused")));
        QApplication::clipboard()->setText(QStringLiteral("12\n"));  // a spreadsheet's cell
        F(4).paste();
        QApplication::clipboard()->setText(QStringLiteral("\t5"));
        F(5).paste();
        QCOMPARE(F(5).text(), QStringLiteral("5"));
        QVERIFY(F(5).toolTip().endsWith(QStringLiteral("\"\\x09\" was refused")));

        Click(IDC_WRITE);
        QCOMPARE(m_Pty->Take(6 * 8).substr(8),
                 Frame8(0x30, 1, "0001") + Frame8(0x30, 2, received) + Frame8(0x30, 3, "000\xE9") +
                     Frame8(0x30, 4, "0012") + Frame8(0x30, 5, "0005"));
        QCOMPARE(F(1).toolTip(), QStringLiteral("Entry 1"));  // a new action clears the marks
    }

    // Received values take the value font and the rest keep the window's; the status line
    // is drawn on yellow at the top left of its rectangle, one line high, and a reader knows
    // it as a status bar. A report cut short is ended by the gap timer.
    void readShowsValuesInTheirFontAndTimersRestAfterIt() {
        OpenCom1();
        Click(IDC_READ);
        AnswerRead([](int entry) { return entry == 5 ? "" : std::to_string(1000 + entry); });
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(F(4).text(), QStringLiteral("1004"));
        QCOMPARE(F(4).font().pixelSize(), 16);
        QCOMPARE(F(5).font(), m_Dlg->font());
        const QImage status = m_Dlg->grab(CStatusLine::Rect()).toImage();
        QCOMPARE(status.pixel(0, 0), qRgb(255, 255, 0));
        QVERIFY(status.pixel(0, status.height() - 1) != qRgb(255, 255, 0));
        QAccessibleInterface* reader =
            QAccessible::queryAccessibleInterface(m_Dlg->findChild<CStatusLine*>());
        QVERIFY(reader != nullptr && reader->role() == QAccessible::StatusBar);

        m_Pty->Send(std::string("\x01\x50\x02"));  // a report cut after three bytes
        QTRY_VERIFY_WITH_TIMEOUT(s_WireLines.contains(QStringLiteral("COM1 rx cut short 01 50 02")),
                                 kGuardMs);
        QCOMPARE(m_Log.Texts().size(), std::size_t{1});
    }

    void privateEventsFromOutsideDoWhatTheyName() {
        OpenCom1();
        // 1027: sends the last frame again.
        Click(IDC_READ);
        QCOMPARE(m_Pty->Take(8), Frame8(0x40, 0x30, "0000"));
        QEvent resend{QEvent::Type(WM_TX_FRAME)};
        QApplication::sendEvent(m_Dlg.get(), &resend);
        QCOMPARE(m_Pty->Take(8), Frame8(0x40, 0x30, "0000"));

        // 1025: drains what the watcher queued, whoever sends it. Events are not handled
        // while the bytes arrive, so the watcher's own WM_RX_NOTIFY cannot come first.
        m_Pty->Send(Frame8(0x50, 7, "4321"));
        const auto guard = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
        while (m_Dlg->Presenter().Comm().ReceivedCount() < 8 &&
               std::chrono::steady_clock::now() < guard) {
            std::this_thread::yield();
        }
        QVERIFY(F(7).text().isEmpty());
        QEvent notify{QEvent::Type(WM_RX_NOTIFY)};
        QApplication::sendEvent(m_Dlg.get(), &notify);
        QCOMPARE(F(7).text(), QStringLiteral("4321"));

        // 1026: evaluates the last frame again.
        F(7).setText(QStringLiteral("x"));
        QEvent evaluate{QEvent::Type(WM_RX_FRAME)};
        QApplication::sendEvent(m_Dlg.get(), &evaluate);
        QCOMPARE(F(7).text(), QStringLiteral("4321"));
    }

    // The menu's items reach the presenter: a load fills the fields, a comparison frames what
    // differs in red, and a save writes the file.
    void tableMenuLoadsComparesAndSaves() {
        OpenCom1();
        QTemporaryDir dir;
        std::string chosen = dir.filePath("table.txt").toStdString();
        m_Log.Choose(chosen);
        EntryTexts table;
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            table[entry - 1] = std::to_string(1000 + entry);
        }
        std::ofstream(chosen) << FormatTableFile(table);
        ChooseFromMenu("Load table...");
        QCOMPARE(F(3).text(), QStringLiteral("1003"));

        ChooseFromMenu("Compare with panel");
        AnswerRead([&](int entry) { return entry == 5 ? "9999" : table[entry - 1]; });
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QVERIFY(!F(5).styleSheet().isEmpty());
        QVERIFY(F(4).styleSheet().isEmpty());

        chosen = dir.filePath("saved.txt").toStdString();
        m_Log.Choose(chosen);
        ChooseFromMenu("Save table as...");
        QCOMPARE(LoadTable(chosen).table, std::optional<EntryTexts>(table));
    }

    // Yes/No boxes answer Enter with their default and Escape with No; text stays plain.
    void boxesHonourTheirDefaultAnswer() {
        const auto answer = [this](MessageAnswer defaultAnswer, Qt::Key key) {
            QString shown;
            QTimer::singleShot(0, [&] {  // inside the box's event loop
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) return;
                if (box->textFormat() == Qt::PlainText) {
                    shown = box->text() + '|' + box->informativeText();
                }
                QTest::keyClick(box, key);
            });
            const MessageAnswer given =
                RunMessageBox(m_Dlg.get(), {"<b>Write anyway?</b>", "second line",
                                            MessageButtons::YesNo, defaultAnswer, BoxIcon::None});
            return shown == "<b>Write anyway?</b>|second line" ? given : MessageAnswer::Ok;
        };
        QCOMPARE(answer(MessageAnswer::No, Qt::Key_Return), MessageAnswer::No);
        QCOMPARE(answer(MessageAnswer::No, Qt::Key_Escape), MessageAnswer::No);
        QCOMPARE(answer(MessageAnswer::Yes, Qt::Key_Return), MessageAnswer::Yes);
        QCOMPARE(answer(MessageAnswer::Yes, Qt::Key_Escape), MessageAnswer::No);
    }

    void endingClosesThePort_data() {
        QTest::addColumn<QString>("way");
        for (const char* way :
             {"Escape", "Exit", "close box", "menu", "SIGTERM", "SIGTERM over a box"})
            QTest::newRow(way) << way;
    }

    // Every way of ending closes the port and leaves no thread and no lock file.
    void endingClosesThePort() {
        QFETCH(QString, way);
        CStopSignals stops;  // raise() sends SIGTERM to this thread, which it blocks
        const CQuitSignals quit(stops, [this] { m_Dlg->EndNow(); });  // as CMainApp wires it
        const int threads = CountEntries("/proc/self/task");
        OpenCom1();
        QCOMPARE(CountEntries("/proc/self/task"), threads + 1);
        QCOMPARE(m_PortDir->LockFiles(), 1);
        m_Dlg->setResult(-1);
        if (way == "Exit") {
            Click(IDC_EXIT);
        } else if (way == "close box") {
            m_Dlg->close();
        } else if (way == "menu") {
            ChooseFromMenu("Close");
        } else if (way == "SIGTERM") {
            ::raise(SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!m_Dlg->isVisible(), kGuardMs);
        } else if (way == "SIGTERM over a box") {
            ShowDialog(m_NoPause, nullptr);  // real boxes, with their own event loops
            OpenCom1();
            QTimer boxWatch;
            QObject::connect(&boxWatch, &QTimer::timeout, [&] {
                if (QApplication::activeModalWidget() == nullptr) return;
                boxWatch.stop();
                ::raise(SIGTERM);
            });
            boxWatch.start(10);
            Click(IDC_READ);  // nothing answers: "DERID Not Connected" opens
            QTRY_VERIFY_WITH_TIMEOUT(!m_Dlg->isVisible(), kGuardMs);
            QCOMPARE(QApplication::activeModalWidget(), nullptr);
        } else {
            QTest::keyClick(&F(28), Qt::Key_Escape);
        }
        QVERIFY(!m_Dlg->isVisible());
        QCOMPARE(m_Dlg->result(), int(QDialog::Rejected));
        QVERIFY(!m_Dlg->Presenter().Comm().IsOpen());
        QCOMPARE(m_PortDir->LockFiles(), 0);
        // The watcher's thread is gone once it is reaped.
        QTRY_COMPARE_WITH_TIMEOUT(CountEntries("/proc/self/task"), threads, kGuardMs);
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
