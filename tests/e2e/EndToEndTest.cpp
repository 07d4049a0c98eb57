// End to end: the real window (offscreen), the real serial code and the real keltrove-device
// as COM1. The tests act as a user would and judge the fields, the status and the boxes.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "DeviceTable.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "SimulatorProcess.h"
#include "StatusLine.h"

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

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CSimulatorProcess> m_Device;
    CNoPause m_NoPause;
    CMessageLog m_Log;
    std::unique_ptr<CMainDlg> m_Dlg;

    // keltrove-device with `options`, serving as COM1.
    bool StartDevice(const QStringList& options) {
        std::vector<std::string> args{"--as", "COM1"};
        for (const QString& option : options) args.push_back(option.toStdString());
        const std::string log = m_PortDir->File("device.log").string();
        m_Device = std::make_unique<CSimulatorProcess>(std::move(args), log);
        return !m_Device->WaitPlugged().empty();
    }

    // The window, where the user picks COM1; it opens without a box.
    bool OpenDialog() {
        m_Log = CMessageLog();
        m_Dlg = std::make_unique<CMainDlg>(&m_NoPause, &m_Log);
        m_Dlg->show();
        if (!QTest::qWaitForWindowExposed(m_Dlg.get())) return false;
        ChoosePort(*m_Dlg, 1);
        return m_Dlg->Presenter().Comm().IsOpen() && m_Log.Texts().empty();
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
        if (!m_Device) return;
        const int exitCode = m_Device->Stop();
        if (QTest::currentTestFailed()) qInfo("keltrove-device log:\n%s", m_Device->Log().c_str());
        m_Device.reset();
        QCOMPARE(exitCode, 0);  // the device ended normally
    }

    void writeAndReadRoundTripInEveryAnswerMode_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("paced") << QStringList{};
        QTest::newRow("burst") << QStringList{"--burst"};
        QTest::newRow("split with noise") << QStringList{"--split", "--noise", "--seed", "11"};
        QTest::newRow("reply gap") << QStringList{"--reply-gap", "30"};
    }

    // Typed values go out right-aligned and filled with "0"; the device keeps what the
    // write commits, which the write's read-back confirms, and a read brings it back into
    // the emptied fields, however the device paces its answers.
    void writeAndReadRoundTripInEveryAnswerMode() {
        QFETCH(QStringList, options);
        QVERIFY(StartDevice(options));
        QVERIFY(OpenDialog());
        QStringList expected;
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QTest::keyClicks(&Field(*m_Dlg, entry), QString::number(entry * 7));
            expected << QString::asprintf("%04d", entry * 7);
        }
        Click(IDC_WRITE);
        QTRY_COMPARE_WITH_TIMEOUT(StatusText(*m_Dlg), StatusText(SessionStatus::WriteDone),
                                  kGuardMs);
        for (int entry = 1; entry <= kEntryCount; ++entry) Field(*m_Dlg, entry).clear();
        Click(IDC_READ);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), expected, kGuardMs);
        QCOMPARE(StatusText(*m_Dlg), StatusText(SessionStatus::ReadDone));
        QVERIFY(m_Log.Texts().empty());
    }

    // The device hangs up after the request and 9 reports. The reports that came before
    // stay and the read has failed. The device comes back under the same name, and the port
    // opens again by itself, sending nothing; a write then asks before it sends the empty
    // entries. Then the adapter comes and goes ten times, as a loose hub makes it: one box
    // each time (this handler answers at once), nothing left behind, and a full read at the
    // end.
    void aLostPortSaysSoAndOpensAgainEachTimeItIsBack() {
        constexpr int kFramesBeforeHangUp = 10;
        const std::string fifo = m_PortDir->File("control").string();
        QVERIFY(StartDevice({"--hangup-after", QString::number(kFramesBeforeHangUp), "--control",
                             QString::fromStdString(fifo)}));
        QVERIFY(OpenDialog());

        Click(IDC_READ);
        QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts(), Texts{"Connection to COM1 lost"}, kGuardMs);
        QStringList partial = DefaultTable();
        for (int entry = kFramesBeforeHangUp; entry <= kEntryCount; ++entry) {
            partial[entry - 1].clear();
        }
        QCOMPARE(FieldTexts(), partial);
        QVERIFY(!m_Device->WaitPlugged().empty());
        QTRY_COMPARE_WITH_TIMEOUT(StatusText(*m_Dlg), QStringLiteral("COM1 is back"), kGuardMs);

        // Writing now would zero entries 10 to 32 on the panel: it asks first, and "No"
        // sends nothing.
        const std::string log = m_Device->Log();  // the read's request, and nothing since
        QVERIFY(log.find(" rx ") == log.rfind(" rx "));
        m_Log.Answer(MessageAnswer::No);
        Click(IDC_WRITE);
        QCOMPARE(m_Log.Texts().size(), std::size_t{2});
        QVERIFY(QString::fromStdString(m_Log.Texts().back()).startsWith("Entries 10 to 32 were"));

        const int descriptors = CountEntries("/proc/self/fd");
        const CPanelPresenter& presenter = m_Dlg->Presenter();
        for (std::size_t cycle = 1; cycle <= 10; ++cycle) {
            std::ofstream(fifo) << "unplug\n";
            QTRY_COMPARE_WITH_TIMEOUT(m_Log.Texts().size(), 2 + cycle, kGuardMs);
            QVERIFY2(presenter.IsAwaitingPort(), m_Log.Texts().back().c_str());
            std::ofstream(fifo) << "plug\n";
            QTRY_VERIFY_WITH_TIMEOUT(!presenter.IsAwaitingPort(), kGuardMs);
            QCOMPARE(StatusText(*m_Dlg), QStringLiteral("COM1 is back"));
        }
        QCOMPARE(m_PortDir->LockFiles(), 1);
        QCOMPARE(CountEntries("/proc/self/fd"), descriptors);
        Click(IDC_READ);
        QTRY_COMPARE_WITH_TIMEOUT(FieldTexts(), DefaultTable(), kGuardMs);
        QCOMPARE(StatusText(*m_Dlg), StatusText(SessionStatus::ReadDone));
        QCOMPARE(m_Log.Texts().size(), std::size_t{12});
        QVERIFY(m_Device->Log().find("write begin") == std::string::npos);
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
