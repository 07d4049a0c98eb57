#include "MainDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimerEvent>

#include "AboutDlg.h"
#include "DialogFonts.h"
#include "LinkReportEvent.h"
#include "MessageBox.h"
#include "PortCombo.h"
#include "StatusLine.h"
#include "TableFileDialogs.h"
#include "TemplateControl.h"

namespace keltrove {

namespace {

constexpr std::string_view kAboutMenuText = "Keltrove 정보(&A)...";  // string 101

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

}  // namespace

CMainDlg::CMainDlg(IPause* pause)
    : QDialog(nullptr, kWindowFlags),
      m_Timers(*this),
      m_WireLog([this] { return PortItemText(m_Presenter.PortNo()); }),
      m_Presenter(*this, m_Timers, pause != nullptr ? *pause : m_RealPause,
                  [this](LinkReport report) { PostLinkReport(*this, std::move(report)); }) {
    if (CWireLog::Enabled()) m_Presenter.SetTrace(&m_WireLog);
    m_Controls = BuildMainDlgControls(
        *this, SetUpTemplateWindow(*this, MainDialogTemplate()),
        [this](int entry, const std::string& refused) { m_Presenter.OnRefused(entry, refused); });
    m_pStatusLine = new CStatusLine(*this);
    connect(m_Controls.portList, &QComboBox::activated, this,
            [this](int index) { m_Presenter.OnSelectPort(index); });
    connect(m_Controls.read, &QPushButton::clicked, this, [this] { m_Presenter.OnRead(); });
    connect(m_Controls.write, &QPushButton::clicked, this,
            [this] { m_Presenter.OnWrite(GetFieldTexts()); });
    connect(m_Controls.exit, &QPushButton::clicked, this, &QDialog::reject);
    m_Presenter.Start();  // the first refresh: 32 empty fields
    m_Controls.firstTabStop->setFocus();
}

CMainDlg::~CMainDlg() {
    m_Timers.StopAll();
    m_Presenter.Close();
}

const QString& CMainDlg::StatusText() const {
    return m_pStatusLine->Text();
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
    } else if (event->type() == WM_RX_NOTIFY) {
        m_Presenter.OnRxNotify();
    } else if (event->type() == WM_RX_FRAME) {
        m_Presenter.EvaluateRxFrame();
    } else if (event->type() == WM_TX_FRAME) {
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
    } else if (focusWidget() == m_Controls.portList) {
        m_Presenter.OnSelectPort(m_Controls.portList->currentIndex());
    } else {
        // Enter confirms what was typed and never ends the window, which would lose the
        // table: it moves on as Tab does.
        focusNextChild();
    }
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the window menu, which a Linux window does not let a program extend.
    QMenu menu(this);
    const bool idle = m_Presenter.CurrentActivity() == Activity::Idle;
    menu.addAction(QStringLiteral("Save table as..."), this, [this] { m_Presenter.OnSave(); })
        ->setEnabled(idle);
    menu.addAction(QStringLiteral("Load table..."), this, [this] { m_Presenter.OnLoad(); })
        ->setEnabled(idle);
    menu.addAction(QStringLiteral("Compare with panel"), this, [this] { m_Presenter.OnCompare(); })
        ->setEnabled(idle);
    menu.addAction(QStringLiteral("Close"), this, &QDialog::reject);
    menu.addSeparator();
    menu.addAction(QString::fromUtf8(kAboutMenuText), this, [this] { CAboutDlg(this).exec(); });
    menu.exec(event->globalPos());
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
    return m_MessageHandler ? m_MessageHandler(box) : RunMessageBox(this, box);
}

void CMainDlg::ShowActivity(Activity activity) {
    // Out of the member before it ends: its end runs the events that came meanwhile, and
    // one of them may begin a new activity.
    if (std::unique_ptr<CBusyWindow> ending = std::move(m_pBusy)) ending->End();
    m_Activity = activity;
    if (m_pBusy) return;  // a new activity began meanwhile
    if (activity == Activity::Writing) {
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
    return m_FileChooser ? m_FileChooser(choice) : ChooseTableFile(this, choice);
}

std::string CMainDlg::LocalTimeText() const {
    return QDateTime::currentDateTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        .toStdString();
}

}  // namespace keltrove
