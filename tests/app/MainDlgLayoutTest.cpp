// What the user sees of the main window before talking to a device: the controls and
// their texts, keyboard focus and tab order, the fields' limit, the frames around the
// fields, the port list's tooltips, and the about box behind the context menu.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "AboutDlg.h"
#include "DialogHarness.h"
#include "DialogTemplate.h"
#include "PortCombo.h"

using namespace keltrove;
using namespace keltrove::test;

class MainDlgLayoutTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CPortDir> m_PortDir;
    std::unique_ptr<CMainDlg> m_Dlg;

    void ShowActive() {
        m_Dlg->show();
        m_Dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Dlg.get()));
    }

private slots:
    void initTestCase() { m_PortDir = std::make_unique<CPortDir>(); }
    void init() { m_Dlg = std::make_unique<CMainDlg>(); }
    void cleanup() { m_Dlg.reset(); }

    void startsWithEmptyFieldsAndNoPort() {
        QCOMPARE(m_Dlg->windowTitle(), QStringLiteral("Keltrove"));
        QCOMPARE(m_Dlg->minimumSize(), m_Dlg->maximumSize());
        QVERIFY(!(m_Dlg->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(m_Dlg->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!m_Dlg->windowIcon().isNull());
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            QVERIFY(Field(*m_Dlg, entry).text().isEmpty());
            QCOMPARE(Field(*m_Dlg, entry).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        }
        QComboBox& ports = PortList(*m_Dlg);
        QStringList items;
        for (int i = 0; i < ports.count(); ++i) items << ports.itemText(i);
        QCOMPARE(items, QStringList({"Disable", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6",
                                     "COM7", "COM8"}));
        QCOMPARE(ports.currentIndex(), -1);
        QVERIFY(!m_Dlg->Comm().IsOpen());
    }

    void staticTextsAndFramesStandAsDrawn() {
        QCOMPARE(Button(*m_Dlg, kIdRead).text(), QStringLiteral("Read"));
        QCOMPARE(Button(*m_Dlg, kIdWrite).text(), QStringLiteral("Write"));
        QCOMPARE(Button(*m_Dlg, kIdExit).text(), QStringLiteral("Exit"));
        QStringList labels;
        for (const QLabel* label : m_Dlg->findChildren<QLabel*>()) labels << label->text();
        QCOMPARE(labels, QStringList{"Select Port"});
        // The label sits above the port list, the buttons left of it.
        const QRect list = PortList(*m_Dlg).geometry();
        QVERIFY(m_Dlg->findChild<QLabel*>()->geometry().bottom() <= list.top());
        QVERIFY(Button(*m_Dlg, kIdRead).geometry().right() < list.left());

        // Left to right: the two small frames, then one frame per column.
        QList<QGroupBox*> boxes = m_Dlg->findChildren<QGroupBox*>();
        std::sort(boxes.begin(), boxes.end(), [](const QGroupBox* a, const QGroupBox* b) {
            return a->geometry().left() < b->geometry().left();
        });
        QStringList titles;
        for (const QGroupBox* box : boxes) titles << box->title();
        QCOMPARE(titles, QStringList({"KVT-xPA", "KV-xPA", "KV/T-xPA", "KV-xPE", "KV-xPE"}));
        const auto holds = [&](int box, int first, int last) {
            for (int entry = first; entry <= last; ++entry) {
                if (!boxes[box]->geometry().contains(Field(*m_Dlg, entry).geometry())) return false;
            }
            return true;
        };
        QVERIFY(holds(2, 1, 8));
        QVERIFY(holds(3, 9, 20));
        QVERIFY(holds(4, 21, 32));
        // The small frames overlap the lower half of the first column.
        for (int box = 0; box < 2; ++box) {
            QVERIFY(boxes[box]->geometry().intersects(Field(*m_Dlg, 8).geometry()));
            QVERIFY(!boxes[box]->geometry().intersects(Field(*m_Dlg, 9).geometry()));
        }
    }

    void framesDoNotTakeClicksFromFields() {
        ShowActive();
        for (int entry = 1; entry <= kEntryCount; ++entry) {
            const QPoint centre = Field(*m_Dlg, entry).geometry().center();
            QCOMPARE(m_Dlg->childAt(centre), &Field(*m_Dlg, entry));
        }
        QTest::mouseClick(&Field(*m_Dlg, 5), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), &Field(*m_Dlg, 5));
    }

    void tabWalksTheFieldsInTemplateOrderOnly() {
        ShowActive();
        const QList<int> order{28, 27, 26, 25, 16, 15, 14, 13, 20, 19, 18, 17, 24, 23, 22, 21,
                               4,  3,  2,  1,  8,  7,  6,  5,  12, 11, 10, 9,  30, 29, 31, 32};
        QCOMPARE(QApplication::focusWidget(), &Field(*m_Dlg, 28));
        for (int step = 1; step <= order.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            // After the last field, Tab comes round to the first: never the list or a button.
            QCOMPARE(QApplication::focusWidget(), &Field(*m_Dlg, order[step % order.size()]));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), &Field(*m_Dlg, 32));
    }

    void listAndButtonsAreNoTabStopsAndNoDefault() {
        QVERIFY(!(PortList(*m_Dlg).focusPolicy() & Qt::TabFocus));
        for (const QPushButton* button : m_Dlg->findChildren<QPushButton*>()) {
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
    }

    void fieldsTakeFourCharactersFromTheStart() {
        ShowActive();
        QTest::keyClicks(&Field(*m_Dlg, 28), QStringLiteral("12345"));
        QCOMPARE(Field(*m_Dlg, 28).text(), QStringLiteral("1234"));
        Field(*m_Dlg, 7).setFocus();
        QTest::keyClicks(&Field(*m_Dlg, 7), QStringLiteral("abcdef"));
        QCOMPARE(Field(*m_Dlg, 7).text(), QStringLiteral("abcd"));
    }

    void portTooltipsFollowTheMapping() {
        CPtyPort pty;
        m_PortDir->Map(1, pty.SlavePath());
        m_PortDir->Map(2, "");
        QComboBox& ports = PortList(*m_Dlg);
        ports.showPopup();
        const QString com1 = ports.itemData(1, Qt::ToolTipRole).toString();
        QVERIFY2(com1.contains(QString::fromStdString(pty.SlavePath())), qPrintable(com1));
        QVERIFY(ports.itemData(2, Qt::ToolTipRole).toString().contains("/dev/ttyS1"));
        ports.hidePopup();

        // Changed while the program runs: the next look at the list shows the change.
        m_PortDir->Map(1, "");
        m_PortDir->Map(2, pty.SlavePath());
        ports.showPopup();
        QVERIFY(ports.itemData(1, Qt::ToolTipRole).toString().contains("/dev/ttyS0"));
        QVERIFY(ports.itemData(2, Qt::ToolTipRole)
                    .toString()
                    .contains(QString::fromStdString(pty.SlavePath())));
        ports.hidePopup();
        m_PortDir->Map(2, "");
    }

    void contextMenuOpensTheAboutBox() {
        ShowActive();
        QStringList menuTexts;
        QStringList aboutTexts;
        QString aboutTitle;
        bool okWasDefault = false;
        // Runs inside the about box's own event loop.
        const auto answerAbout = [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (about == nullptr) return;
            aboutTitle = about->windowTitle();
            for (const QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) aboutTexts << label->text();
            }
            auto* ok = about->findChild<QPushButton*>();
            okWasDefault = ok->isDefault() && ok->text() == QStringLiteral("확인");
            ok->click();
        };
        // Runs inside the menu's event loop.
        const auto chooseAbout = [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            for (const QAction* action : menu->actions()) {
                menuTexts << (action->isSeparator() ? QStringLiteral("-") : action->text());
            }
            QTimer::singleShot(0, answerAbout);
            menu->actions().last()->trigger();
            menu->close();
        };
        QTimer::singleShot(0, chooseAbout);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_Dlg->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_Dlg.get(), &event);

        QCOMPARE(menuTexts, QStringList({"Close", "-", "Keltrove 정보(&A)..."}));
        QCOMPARE(aboutTitle, QStringLiteral("Keltrove 정보"));
        QCOMPARE(aboutTexts.size(), 2);
        QCOMPARE(aboutTexts.front(), QStringLiteral("Keltrove 버전 1.0"));
        QVERIFY(okWasDefault);
        QVERIFY(m_Dlg->isVisible());  // the about box ends alone
    }
};

QTEST_MAIN(MainDlgLayoutTest)
#include "MainDlgLayoutTest.moc"
