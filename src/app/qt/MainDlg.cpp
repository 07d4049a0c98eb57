#include "MainDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimerEvent>

#include "AboutDlg.h"
#include "DialogFonts.h"
#include "LinkReportEvent.h"
#include "MessageBox.h"
#include "PortCombo.h"
#include "PrivateMessages.h"
#include "StatusLine.h"
#include "TableFileDialogs.h"
#include "TemplateControl.h"

namespace keltrove {

namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

}  // namespace

CMainDlg::CMainDlg(IPause* pause, IDialogAnswers* answers)
    : QDialog(nullptr, kWindowFlags),
      m_Timers(*this),
      m_WireLog([this] { return PortItemText(m_Presenter.PortNo()); }),
      m_Presenter(*this, m_Timers, pause != nullptr ? *pause : m_RealPause,
                  [this](LinkReport report) { PostLinkReport(*this, std::move(report)); }) {
    m_pAnswers = answers;
    if (CWireLog::Enabled()) m_Presenter.SetTrace(&m_WireLog);
    m_Controls = BuildMainDlgControls(
        *this, SetUpTemplateWindow(*this, MainDialogTemplate()),
        [this](int entry, const std::string& refused) { m_Presenter.OnRefused(entry, refused); });
    m_pStatusLine = new CStatusLine(*this);
    connect(m_Controls.portList, &QComboBox::activated, this,
            [this] { Carry(Intent::ChoosePort); });
    connect(m_Controls.read, &QPushButton::clicked, this, [this] { Carry(Intent::Read); });
    connect(m_Controls.write, &QPushButton::clicked, this, [this] { Carry(Intent::Write); });
    connect(m_Controls.exit, &QPushButton::clicked, this, [this] { Carry(Intent::Close); });
    for (const auto& [button, intent] :
         {std::pair{m_Controls.read, Intent::Read}, std::pair{m_Controls.write, Intent::Write},
          std::pair{m_Controls.exit, Intent::Close}}) {
        button->setToolTip(QString::fromStdString(ButtonTip(intent)));
    }
    AddShortcuts();
    m_Presenter.Start();  // the first refresh: 32 empty fields
    m_Controls.firstTabStop->setFocus();
}

CMainDlg::~CMainDlg() {
    m_Timers.StopAll();
    m_Presenter.Close();
}

void CMainDlg::done(int result) {
    m_Timers.StopAll();
    m_Presenter.Close();
    QDialog::done(result);
}

void CMainDlg::EndNow() {
    m_bEnding = true;  // from here on no box opens and no file is asked for
    m_Timers.StopAll();
    m_Presenter.Close();
    // A box, a file dialog or a menu runs a loop of its own inside ours: closing it lets
    // the code that opened it go on, with No or nothing for an answer.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible()) window->close();
    }
    reject();
}

bool CMainDlg::event(QEvent* event) {
    if (const LinkReport* report = LinkReportIn(*this, *event)) {
        m_Presenter.Deliver(*report);
    } else if (event->type() ==
               QEvent::Type(WM_RX_NOTIFY)) {  // not the watcher's: nothing to clear
        m_Presenter.OnRxNotify();
    } else if (event->type() == QEvent::Type(WM_RX_FRAME)) {
        m_Presenter.EvaluateRxFrame();
    } else if (event->type() == QEvent::Type(WM_TX_FRAME)) {
        m_Presenter.SendTxFrame();
    } else {
        return QDialog::event(event);
    }
    return true;
}

void CMainDlg::timerEvent(QTimerEvent* event) {
    if (const std::optional<TickTimer> timer = m_Timers.TimerOf(*event)) {
        m_Presenter.OnTick(*timer);
    } else {
        QDialog::timerEvent(event);
    }
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || modifiers != Qt::NoModifier) {
        QDialog::keyPressEvent(event);  // Escape ends the window
        return;
    }
    const bool inList = focusWidget() == m_Controls.portList;
    if (m_Presenter.OnEnter(inList ? std::optional<int>(m_Controls.portList->currentIndex())
                                   : std::nullopt)) {
        focusNextChild();
    }
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const MenuItem& item : ContextMenuItems()) {
        if (item.text.empty()) {
            menu.addSeparator();
            continue;
        }
        const Intent intent = item.intent;
        menu.addAction(QString::fromStdString(MenuText(item)), this,
                       [this, intent] { Carry(intent); })
            ->setEnabled(m_Presenter.Allows(intent));
    }
    menu.exec(event->globalPos());
}

// Each works wherever the focus is in the window; a write drops them with all other input.
void CMainDlg::AddShortcuts() {
    for (const Shortcut& key : Shortcuts()) {
        const Qt::KeyboardModifiers modifiers =
            key.shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
        const QKeySequence sequence =
            key.key == kF1
                ? QKeySequence(Qt::Key_F1)
                : QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key.key)));
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [this, key] {
            if (key.intent == Intent::ChoosePort) {
                if (!m_Presenter.Allows(Intent::ChoosePort)) return;
                m_Controls.portList->setCurrentIndex(key.portListItem);  // as the list shows it
            }
            Carry(key.intent);
        });
    }
}

// What the buttons, the port list and the menu ask, in one place.
void CMainDlg::Carry(Intent intent) {
    if (m_Presenter.Carry(intent, m_Controls.portList->currentIndex())) return;
    if (intent == Intent::Close) {
        reject();
    } else {
        CAboutDlg(this).exec();
    }
}

// IPanelWindow

void CMainDlg::ShowFieldTexts(const FieldTexts& texts) {
    m_Controls.ShowTexts(texts);
}

FieldTexts CMainDlg::GetFieldTexts() const {
    return m_Controls.Texts();
}

void CMainDlg::SetValueFont(int entry) {
    if (!m_ValueFont) m_ValueFont = MakeValueFont();
    m_Controls.Entry(entry).setFont(*m_ValueFont);
}

void CMainDlg::MarkField(int entry, FieldMark mark, const std::string& tooltip) {
    m_Controls.Mark(entry, mark, tooltip);
}

void CMainDlg::SetStatusText(const std::string& text) {
    m_pStatusLine->Show(QString::fromStdString(text));
}

MessageAnswer CMainDlg::Ask(const PanelBox& box) {
    if (m_bEnding) return MessageAnswer::No;
    return m_pAnswers != nullptr ? m_pAnswers->Ask(box) : RunMessageBox(this, box);
}

void CMainDlg::ShowActivity(Activity activity) {
    // Out of the member before it ends: its end runs the events that came meanwhile, and
    // one of them may begin a new activity.
    if (std::unique_ptr<CBusyWindow> ending = std::move(m_pBusy)) ending->End();
    if (m_pBusy) return;  // a new activity began meanwhile
    if (DropsInputDuring(activity)) {
        m_pBusy = std::make_unique<CBusyWindow>(
            *this,
            std::initializer_list<QWidget*>{m_Controls.read, m_Controls.write, m_Controls.exit,
                                            m_Controls.portList},
            true);
    } else if (activity == Activity::Reading) {
        m_pBusy = std::make_unique<CBusyWindow>(
            *this, std::initializer_list<QWidget*>{m_Controls.portList}, false);
    }
}

std::optional<std::string> CMainDlg::ChooseFile(FileChoice choice) {
    if (m_bEnding) return std::nullopt;
    return m_pAnswers != nullptr ? m_pAnswers->ChooseFile(choice) : ChooseTableFile(this, choice);
}

}  // namespace keltrove
