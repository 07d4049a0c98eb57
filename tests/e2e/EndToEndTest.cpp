// End to end: the real window (offscreen), the real serial code and the real keltrove-device
// as COM1. The tests act as a user would and judge the fields, the status and the boxes.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "DeviceTable.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "SessionTexts.h"
#include "SimulatorProcess.h"
#include "StatusLine.h"
#include "StatusWatch.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

using Texts = std::vector<std::string>;

// The simulator's table as the fields show it.
QStringList DefaultTable() {
    QStringList values;
    for (const std::string& value : device::DefaultTableTexts()) values << Latin1(value);
    return values;
}

// The write's pauses are skipped, except one: the pause after the write's `frame`-th frame
// waits until the device has hung up and plugged a new line in, so the next frame meets a
// line that is gone.
class CHangUpPause final : public IPause {
public:
    CHangUpPause(CSimulatorProcess& device, int frame) : m_Device(device), m_nFrame(frame) {}

    void Pause(std::chrono::milliseconds) override {
        if (++m_nPauses == m_nFrame) m_strNewLine = m_Device.WaitPlugged();
    }
    // The pty the device plugged in after hanging up; empty before, or if it never did.
    const std::string& NewLine() const { return m_strNewLine; }

private:
    CSimulatorProcess& m_Device;
    const int m_nFrame;
    int m_nPauses = 0;
    std::string m_strNewLine;
};

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CSimulatorProcess> m_Device;
    std::unique_ptr<IPause> m_Pause;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;
    std::string m_strPty;  // where the device serves

    // keltrove-device with `options`, serving as COM1.
    bool StartDevice(const QStringList& options) {
        std::vector<std::string> args{"--as", "COM1"};
        for (const QString& option : options) args.push_back(option.toStdString());
        const std::string log = (m_PortDir->Path() + "/device.log").toStdString();
        m_Device = std::make_unique<CSimulatorProcess>(std::move(args), log);
        m_strPty = m_Device->WaitPlugged();
        return !m_strPty.empty();
    }

    // The window, with `pause` for the write's pauses, on COM1.
    bool OpenDialog(std::unique_ptr<IPause> pause = std::make_unique<CNoPause>()) {
        m_Pause = std::move(pause);
        m_Log = CMessageLog();
        m_Dlg = std::make_unique<CMainDlg>(m_Pause.get());
        m_Dlg->SetMessageHandler(m_Log.Handler());
        m_Dlg->show();
        return QTest::qWaitForWindowExposed(m_Dlg.get()) && ChooseCom1();
    }

    // The user picks COM1; it opens without a box.
    bool ChooseCom1() {
        const std::size_t boxes = m_Log.Texts().size();
        ChoosePort(*m_Dlg, 1);
        return m_Dlg->Comm().IsOpen() && m_Log.Texts().size() == boxes;
    }

    void Click(int id) { QTest::mouseClick(&Button(*m_Dlg, id), Qt::LeftButton); }

    QStringList FieldTexts() const {
        QStringList texts;
        for (int entry = 1; entry <= kEntryCount; ++entry) texts << Field(*m_Dlg, entry).text();
        return texts;
    }

private slots:
    void initTestCase() { m_PortDir = std::make_unique<CPortDir>(); }

    void cleanup() {
        m_Dlg.reset();  // closes the port and joins its watcher
        m_Pause.reset();
        if (!m_Device) return;
        const int exitCode = m_Device->Stop();
        if (QTest::currentTestFailed()) qInfo("keltrove-device log:\n%s", m_Device->Log().c_str());
        m_Device.reset();
        QCOMPARE(exitCode, 0);  // the device ended normally
    }

    void readFillsEveryFieldInEveryAnswerMode_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("paced") << QStringList{};
        QTest::newRow("burst") << QStringList{"--burst"};
        QTest::newRow("split") << QStringList{"--split", "--seed", "7"};
        QTest::newRow("noise") << QStringList{"--noise", "--seed", "7"};
        QTest::newRow("split with noise") << QStringList{"--split", "--noise", "--seed", "11"};
        QTest::newRow("reply gap") << QStringList{"--reply-gap", "30"};
    }

    void readFillsEveryFieldInEveryAnswerMode() {
        QFETCH(QStringList, options);
        QVERIFY(StartDevice(options));
        QVERIFY(OpenDialog());
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), DefaultTable(), kGuardMs);
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadDone));
        QVERIFY(m_Log.Texts().empty());
    }

    // Typed values go out right-aligned and filled with "0"; the device keeps what the
    // write commits and reads it back.
    void writeThenReadRoundTripsTheTable() {
        QVERIFY(StartDevice({}));
        QVERIFY(OpenDialog());
        QStringList expected;
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QTest::keyClicks(&Field(*m_Dlg, entry), QString::number(entry * 7));
            expected << QString::asprintf("%04d", entry * 7);
        }
        Click(kIdWrite);
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::WriteDone));
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), expected, kGuardMs);
        QVERIFY(m_Log.Texts().empty());
    }

    // The device hangs up after the request and 9 reports. The reports that came before
    // stay and the read has failed; a write then asks before it sends the empty entries,
    // and choosing the port again once the device is back gives a full read.
    void hangUpMidReadSaysConnectionLostAndThePortCanBeChosenAgain() {
        constexpr int kFramesBeforeHangUp = 10;
        QVERIFY(StartDevice({"--hangup-after", QString::number(kFramesBeforeHangUp)}));
        QVERIFY(OpenDialog());

        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts(), Texts{"Connection to COM1 lost"}, kGuardMs);
        QStringList partial = DefaultTable();
        for (int entry = kFramesBeforeHangUp; entry <= kEntryCount; ++entry) {
            partial[entry - 1].clear();
        }
        QCOMPARE(FieldTexts(), partial);
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadFailed));

        // Writing now would zero entries 10 to 32 on the panel: it asks first, and "No"
        // sends nothing.
        QVERIFY(!m_Device->WaitPlugged().empty());
        QVERIFY(ChooseCom1());
        m_Log.Answer(MessageAnswer::No);
        Click(kIdWrite);
        QCOMPARE(m_Log.Texts().size(), std::size_t{2});
        QVERIFY(QString::fromStdString(m_Log.Texts().back()).startsWith("Entries 10 to 32 were"));
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), DefaultTable(), kGuardMs);
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::ReadDone));
        QCOMPARE(m_Log.Texts().size(), std::size_t{2});
        QVERIFY(m_Device->Log().find("write begin") == std::string::npos);
    }

    // The device hangs up after write begin and entries 1 and 2; entry 3 finds the line
    // gone. The write stops there and the device, whose write never ended, keeps its table.
    void hangUpMidWriteSaysWritingFailedAndTheTableIsUnchanged() {
        constexpr int kFramesBeforeHangUp = 3;
        QVERIFY(StartDevice({"--hangup-after", QString::number(kFramesBeforeHangUp)}));
        auto pause = std::make_unique<CHangUpPause>(*m_Device, kFramesBeforeHangUp);
        const CHangUpPause& hangUp = *pause;
        QVERIFY(OpenDialog(std::move(pause)));
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QTest::keyClicks(&Field(*m_Dlg, entry), QStringLiteral("9999"));
        }

        Click(kIdWrite);
        QVERIFY(!hangUp.NewLine().empty());
        QCOMPARE(m_Dlg->StatusText(), StatusLineText(SessionStatus::WriteFailed));
        const Texts boxes{std::string(kMsgNotConnected), "Connection to COM1 lost"};
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts(), boxes, kGuardMs);
        QCOMPARE(m_Log.Buttons().front(), MessageButtons::Ok);

        QVERIFY(ChooseCom1());
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), DefaultTable(), kGuardMs);
        QCOMPARE(m_Log.Texts().size(), std::size_t{2});
    }

    // keltrove-cli map puts COM3 into the user's own map, and the window finds it there.
    void aLastingMapMadeByTheCommandLineServesTheWindow() {
        QVERIFY(StartDevice({}));
        const std::string pty = m_strPty;
        const std::string map = std::string("'" KELTROVE_CLI_BINARY "' map COM3 '") + pty + "'";
        QCOMPARE(std::system(map.c_str()), 0);
        QVERIFY(OpenDialog());
        ChoosePort(*m_Dlg, 3);
        QVERIFY(m_Dlg->Comm().IsOpen());
        QCOMPARE(m_Dlg->Comm().DevicePath(), pty);
        QVERIFY(PortList(*m_Dlg).itemData(3, Qt::ToolTipRole).toString().contains("(your map)"));
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), DefaultTable(), kGuardMs);
    }

    // A second read replaces what the user typed since the first; two reads clicked back
    // to back, before any answer is in, are both answered in full.
    void twoReadsInARowBothComplete() {
        QVERIFY(StartDevice({}));
        QVERIFY(OpenDialog());
        int reads = 0;
        const CStatusWatch status(*m_Dlg, [&](const QString& text) {
            reads += text == StatusLineText(SessionStatus::ReadDone);
        });

        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(reads, 1, kGuardMs);
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QTest::keyClick(&Field(*m_Dlg, entry), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(&Field(*m_Dlg, entry), QStringLiteral("x"));
        }
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(reads, 2, kGuardMs);
        QCOMPARE(FieldTexts(), DefaultTable());

        Click(kIdRead);
        Click(kIdRead);
        QTRY_COMPARE_WITH_TIMEOUT(reads, 4, kGuardMs);
        QCOMPARE(FieldTexts(), DefaultTable());
        QVERIFY(m_Log.Texts().empty());
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
