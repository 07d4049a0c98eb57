// The ways the dialog ends: Enter as OK with the field texts taken, every other way as
// cancel, and none of them leaving the port's watcher thread behind.
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "DialogHarness.h"
#include "DialogTemplate.h"

using namespace keltrove;
using namespace keltrove::test;

namespace {

enum class CancelWay { Escape, ExitButton, CloseBox, MenuClose };

void Cancel(CMainDlg& dialog, CancelWay way) {
    switch (way) {
        case CancelWay::Escape:
            QTest::keyClick(&Field(dialog, 28), Qt::Key_Escape);
            break;
        case CancelWay::ExitButton:
            QTest::mouseClick(&Button(dialog, kIdExit), Qt::LeftButton);
            break;
        case CancelWay::CloseBox:
            dialog.close();
            break;
        case CancelWay::MenuClose: {
            QTimer::singleShot(0, [] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    menu->actions().front()->trigger();
                    menu->close();
                }
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    dialog.mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(&dialog, &event);
            break;
        }
    }
}

}  // namespace

Q_DECLARE_METATYPE(CancelWay)

class MainDlgEndingTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CPtyPort> m_Pty;
    std::unique_ptr<CMainDlg> m_Dlg;

private slots:
    void initTestCase() { m_PortDir = std::make_unique<CPortDir>(); }

    void init() {
        m_Pty = std::make_unique<CPtyPort>();
        m_PortDir->Map(1, m_Pty->SlavePath());
        m_Dlg = std::make_unique<CMainDlg>();
        m_Dlg->show();
        m_Dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Dlg.get()));
    }

    void cleanup() {
        m_Dlg.reset();
        m_Pty.reset();
    }

    void enterInAFieldEndsAsOkWithTheTextsTaken() {
        QTest::keyClicks(&Field(*m_Dlg, 28), QStringLiteral("12"));
        Field(*m_Dlg, 6).setFocus();
        QTest::keyClicks(&Field(*m_Dlg, 6), QStringLiteral("x"));
        QTest::keyClick(&Field(*m_Dlg, 6), Qt::Key_Return);
        QVERIFY(!m_Dlg->isVisible());
        QCOMPARE(m_Dlg->result(), int(QDialog::Accepted));
        QCOMPARE(m_Dlg->Session().EntryText()[27], std::string("12"));
        QCOMPARE(m_Dlg->Session().EntryText()[5], std::string("x"));
    }

    void enterInThePortListEndsAsOk() {
        PortList(*m_Dlg).setFocus();
        QTest::keyClick(&PortList(*m_Dlg), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_Dlg->result(), int(QDialog::Accepted));
    }

    void otherWaysEndAsCancel_data() {
        QTest::addColumn<CancelWay>("way");
        QTest::newRow("Escape") << CancelWay::Escape;
        QTest::newRow("Exit") << CancelWay::ExitButton;
        QTest::newRow("close box") << CancelWay::CloseBox;
        QTest::newRow("menu Close") << CancelWay::MenuClose;
    }

    void otherWaysEndAsCancel() {
        QFETCH(CancelWay, way);
        QTest::keyClicks(&Field(*m_Dlg, 28), QStringLiteral("12"));
        m_Dlg->setResult(-1);
        Cancel(*m_Dlg, way);
        QVERIFY(!m_Dlg->isVisible());
        QCOMPARE(m_Dlg->result(), int(QDialog::Rejected));
        QVERIFY(m_Dlg->Session().EntryText()[27].empty());  // nothing taken
    }

    void endingWithAPortOpenLeavesNoThread() {
        const int threads = ThreadCount();
        ChoosePort(*m_Dlg, 1);
        QVERIFY(m_Dlg->Comm().IsWatching());
        QCOMPARE(ThreadCount(), threads + 1);
        Cancel(*m_Dlg, CancelWay::ExitButton);
        QVERIFY(!m_Dlg->Comm().IsOpen());
        QCOMPARE(ThreadCount(), threads);
    }

    void destroyingWithAPortOpenLeavesNoThread() {
        const int threads = ThreadCount();
        ChoosePort(*m_Dlg, 1);
        QCOMPARE(ThreadCount(), threads + 1);
        m_Dlg.reset();
        QCOMPARE(ThreadCount(), threads);
    }
};

QTEST_MAIN(MainDlgEndingTest)
#include "MainDlgEndingTest.moc"
