// The window at work on a port: a pseudo-terminal mapped as COM1 is the device's end.
// Reads, writes, the private events, and the boxes for ports that fail or go away.
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "DialogFonts.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "StatusLine.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kFirstReadRequest{0x01, 0x40, 0x30, 0x30, 0x30, 0x30, 0x30, 0x03};

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

class MainDlgPortTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CPtyPort> m_Pty;
    CNoPause m_NoPause;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;

    void OpenCom1() {
        ChoosePort(*m_Dlg, 1);
        QVERIFY(m_Dlg->Comm().IsOpen());
    }

private slots:
    void initTestCase() { m_PortDir = std::make_unique<CPortDir>(); }

    void init() {
        m_Pty = std::make_unique<CPtyPort>();
        m_PortDir->Map(1, m_Pty->SlavePath());
        m_Log = CMessageLog();
        m_Dlg = std::make_unique<CMainDlg>(&m_NoPause);
        m_Dlg->SetMessageHandler(m_Log.Handler());
        m_Dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_Dlg.get()));
    }

    void cleanup() {
        m_Dlg.reset();
        m_Pty.reset();
    }

    void readFillsFieldsInTheValueFontAndDrawsStatus() {
        OpenCom1();
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        QCOMPARE(m_Pty->ReadFar(8), kFirstReadRequest);

        std::vector<std::pair<int, std::string>> values;
        for (int entry = 1; entry <= 31; ++entry) {
            if (entry != 5)
                values.emplace_back(entry, QString::asprintf("%04d", entry * 3).toStdString());
        }
        m_Pty->WriteFar(Reports(values));
        QTRY_COMPARE_WITH_TIMEOUT(Field(*m_Dlg, 31).text(), QStringLiteral("0093"), kGuardMs);
        QCOMPARE(m_Dlg->StatusText(), Latin1(kStatusReading));

        m_Pty->WriteFar(Report(32, "0096"));
        QTRY_COMPARE_WITH_TIMEOUT(m_Dlg->StatusText(), Latin1(kStatusReadDone), kGuardMs);
        for (const auto& [entry, value] : values) {
            QCOMPARE(Field(*m_Dlg, entry).text(), QString::fromStdString(value));
            QCOMPARE(Field(*m_Dlg, entry).font().pixelSize(), 16);
        }
        QCOMPARE(Field(*m_Dlg, 32).font().pixelSize(), 16);
        // Not reported: empty, and still in the dialog's font.
        QVERIFY(Field(*m_Dlg, 5).text().isEmpty());
        QCOMPARE(Field(*m_Dlg, 5).font(), m_Dlg->font());
        const qreal width = AverageLetterWidth(QFontMetricsF(Field(*m_Dlg, 1).font()));
        QVERIFY2(width > 9 && width < 11, qPrintable(QString::number(width)));

        // Drawn on yellow at the top left of the status rectangle, one line only.
        const QImage status = m_Dlg->grab(CStatusLine::Rect()).toImage();
        const QRgb yellow = qRgb(255, 255, 0);
        QCOMPARE(status.pixel(0, 0), yellow);
        QVERIFY(status.pixel(0, status.height() - 1) != yellow);
    }

    void silentFarEndGivesNotConnectedOnce() {
        OpenCom1();
        int watchdogTicks = 0;
        connect(m_Dlg.get(), &CMainDlg::timerHandled, this,
                [&](unsigned id) { watchdogTicks += id == kTimerWatchdog ? 1 : 0; });
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(m_Log.Texts().front(), std::string("DERID Not Connected"));
        QCOMPARE(m_Log.Buttons().front(), MessageButtons::YesNo);
        const int ticksAtBox = watchdogTicks;
        QTRY_VERIFY_WITH_TIMEOUT(watchdogTicks >= ticksAtBox + 10, kGuardMs);
        QCOMPARE(m_Log.Texts().size(), std::size_t{1});
    }

    // The real box: while it is open, timers and received bytes go on being handled.
    void notConnectedBoxKeepsTheWindowReceiving() {
        m_Dlg->SetMessageHandler({});
        OpenCom1();
        QString boxText;
        QMessageBox::StandardButtons boxButtons;
        bool reportSent = false;
        bool answered = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || answered) return;
            if (!reportSent) {
                boxText = box->text();
                boxButtons = box->standardButtons();
                m_Pty->WriteFar(Report(9, "0909"));
                reportSent = true;
            } else if (Field(*m_Dlg, 9).text() == QStringLiteral("0909")) {
                answered = true;
                box->button(QMessageBox::No)->click();
            }
        });
        poll.start();
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(answered, kGuardMs);
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == nullptr, kGuardMs);
        QCOMPARE(boxText, QStringLiteral("DERID Not Connected"));
        QCOMPARE(boxButtons, QMessageBox::Yes | QMessageBox::No);
    }

    // Bytes go out as Latin-1: a received value comes back unchanged, a character without
    // a Latin-1 byte goes out as '?'.
    void writeSendsTheThirtyFourFramesInOrder() {
        OpenCom1();
        const std::string received("\0\n\xE9\xFF", 4);  // any byte, control bytes too
        m_Pty->WriteFar(Report(2, received));
        QTRY_COMPARE_WITH_TIMEOUT(Field(*m_Dlg, 2).text(), QString::fromLatin1(received.data(), 4),
                                  kGuardMs);
        Field(*m_Dlg, 1).setText(QStringLiteral("7"));
        Field(*m_Dlg, 3).setText(QStringLiteral("가"));
        Field(*m_Dlg, 32).setText(QStringLiteral("1234"));

        QTest::mouseClick(&Button(*m_Dlg, kIdWrite), Qt::LeftButton);
        const Bytes sent = m_Pty->ReadFar(34 * 8);
        QCOMPARE(sent.size(), std::size_t{34 * 8});
        const auto frame = [&](int n) {
            return Bytes(sent.begin() + n * 8, sent.begin() + n * 8 + 8);
        };
        QCOMPARE(frame(0), Frame8(0x10, 0x30, "0000"));
        QCOMPARE(frame(1), Frame8(0x30, 1, "0007"));
        QCOMPARE(frame(2), Frame8(0x30, 2, received));
        QCOMPARE(frame(3), Frame8(0x30, 3, "000?"));
        for (int entry = 4; entry <= 31; ++entry)
            QCOMPARE(frame(entry), Frame8(0x30, entry, "0000"));
        QCOMPARE(frame(32), Frame8(0x30, 32, "1234"));
        QCOMPARE(frame(33), Frame8(0x90, 32, "1234"));
        QCOMPARE(m_Dlg->StatusText(), Latin1(kStatusWriteDone));
        QCOMPARE(m_Dlg->Session().EntryText()[1], received);
    }

    void privateEventsFromOutsideDoWhatTheyName() {
        OpenCom1();
        QEvent resend(WM_TX_FRAME);
        QApplication::sendEvent(m_Dlg.get(), &resend);
        QCOMPARE(m_Pty->ReadFar(8), Bytes(8, 0x30));  // the untouched frame, as it stands
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        QCOMPARE(m_Pty->ReadFar(8), kFirstReadRequest);
        QApplication::sendEvent(m_Dlg.get(), &resend);
        QCOMPARE(m_Pty->ReadFar(8), kFirstReadRequest);

        // 1025: drains what the watcher queued, whoever sends it. Events are not handled
        // while the bytes arrive, so the watcher's own WM_RX_NOTIFY cannot come first.
        m_Pty->WriteFar(Report(7, "4321"));
        QVERIFY(WaitWithoutEvents([&] { return m_Dlg->Comm().m_QueueRead.Count() >= 8; }));
        QVERIFY(Field(*m_Dlg, 7).text().isEmpty());
        QEvent notify(WM_RX_NOTIFY);
        QApplication::sendEvent(m_Dlg.get(), &notify);
        QCOMPARE(Field(*m_Dlg, 7).text(), QStringLiteral("4321"));
        QVERIFY(m_Dlg->Session().NoReplyTicks().IsIdle());

        // 1026: evaluates the last frame again.
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        Field(*m_Dlg, 7).setText(QStringLiteral("x"));
        QVERIFY(!m_Dlg->Session().NoReplyTicks().IsIdle());
        QEvent evaluate(WM_RX_FRAME);
        QApplication::sendEvent(m_Dlg.get(), &evaluate);
        QCOMPARE(Field(*m_Dlg, 7).text(), QStringLiteral("4321"));
        QVERIFY(m_Dlg->Session().NoReplyTicks().IsIdle());
    }

    void failedOpenShowsTheReason() {
        m_PortDir->Map(2, "/nonexistent/keltrove-tty");
        ChoosePort(*m_Dlg, 2);
        QCOMPARE(m_Log.Texts().size(), std::size_t{1});
        const QStringList lines = QString::fromStdString(m_Log.Texts().front()).split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Cannot open COM2"));
        QVERIFY(lines[1].contains("COM2"));  // names the device
        QCOMPARE(m_Dlg->PortError(), 1);
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 2);
        QVERIFY(!m_Dlg->Comm().IsOpen());
        m_PortDir->Map(2, "");
    }

    void lostPortShowsItsBoxAndChoosingItAgainReopens() {
        OpenCom1();
        const int threadsOpen = ThreadCount();
        m_Pty->HangUp();
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), std::size_t{1}, kGuardMs);
        QCOMPARE(m_Log.Texts().front(), std::string("Connection to COM1 lost"));
        QVERIFY(!m_Dlg->Comm().IsOpen());
        QCOMPARE(ThreadCount(), threadsOpen - 1);
        QCOMPARE(PortList(*m_Dlg).currentIndex(), 1);

        m_Pty = std::make_unique<CPtyPort>();
        m_PortDir->Map(1, m_Pty->SlavePath());
        OpenCom1();
        QTest::mouseClick(&Button(*m_Dlg, kIdRead), Qt::LeftButton);
        QCOMPARE(m_Pty->ReadFar(8), kFirstReadRequest);
        QCOMPARE(m_Log.Texts().size(), std::size_t{1});
    }

    // A lost report that was on its way while the user chose the port again is stale.
    void staleLostReportIsIgnored() {
        OpenCom1();
        ILinkEvents& events = *m_Dlg;
        events.OnLinkLost(1, "hung up");
        ChoosePort(*m_Dlg, 1);
        QCoreApplication::sendPostedEvents(m_Dlg.get());
        QVERIFY(m_Log.Texts().empty());
        QVERIFY(m_Dlg->Comm().IsOpen());

        events.OnLinkLost(1, "hung up");
        QCoreApplication::sendPostedEvents(m_Dlg.get());
        QCOMPARE(m_Log.Texts(), std::vector<std::string>{"Connection to COM1 lost"});
        QVERIFY(!m_Dlg->Comm().IsOpen());
    }

    void disableClosesThePort() {
        OpenCom1();
        ChoosePort(*m_Dlg, 0);
        QVERIFY(!m_Dlg->Comm().IsOpen());
        QVERIFY(m_Log.Texts().empty());
    }

    // The watcher does not wait for a box, so a report may repeat while its box is open.
    void portMessagesShowOneBoxPerText() {
        ILinkEvents& events = *m_Dlg;
        int boxes = 0;
        m_Dlg->SetMessageHandler([&](std::string_view text, MessageButtons) {
            ++boxes;
            if (text == "m_QueueRead FULL!") {
                events.OnLinkMessage("m_QueueRead FULL!");
                QCoreApplication::sendPostedEvents(m_Dlg.get());
            }
            return MessageAnswer::Ok;
        });
        events.OnLinkMessage("m_QueueRead FULL!");
        QCoreApplication::sendPostedEvents(m_Dlg.get());
        QCOMPARE(boxes, 1);
        events.OnLinkMessage("m_QueueRead FULL!");  // once closed, it may show again
        QCoreApplication::sendPostedEvents(m_Dlg.get());
        QCOMPARE(boxes, 2);
    }
};

QTEST_MAIN(MainDlgPortTest)
#include "MainDlgPortTest.moc"
