#include "MainDlg.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimerEvent>

#include "AboutDlg.h"
#include "BusyWindow.h"
#include "DialogFonts.h"
#include "DialogTemplate.h"
#include "PortCombo.h"
#include "SessionTexts.h"
#include "StatusLine.h"
#include "TableFileDialogs.h"
#include "TableFiles.h"
#include "TemplateControl.h"

namespace keltrove {

namespace {

constexpr std::string_view kAboutMenuText = "Keltrove 정보(&A)...";  // string 101

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

// The first tab stop of the template takes the focus when the dialog opens.
int FirstTabStopEntry() {
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.tabStop) return control.entry;
    }
    return 1;
}

QString FromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

CMainDlg::CMainDlg(IPause* pause)
    : QDialog(nullptr, kWindowFlags),
      m_Pause(pause != nullptr ? *pause : m_RealPause),
      m_Bridge(*this),
      m_Comm(&m_Bridge),
      m_Timers(*this),
      m_Session(*this, m_Comm, m_Pause, m_Timers),
      m_WireLog([this] { return PortItemText(m_nPortNo).toStdString(); }) {
    if (CWireLog::Enabled()) m_Session.SetTrace(&m_WireLog);
    const CDialogUnits units = SetUpTemplateWindow(*this, MainDialogTemplate());
    m_Controls = BuildMainDlgControls(*this, units);
    m_pStatusLine = new CStatusLine(*this);
    connect(m_Controls.portList, &QComboBox::activated, this, &CMainDlg::OnSelectPort);
    connect(m_Controls.read, &QPushButton::clicked, this, &CMainDlg::OnRead);
    connect(m_Controls.write, &QPushButton::clicked, this, &CMainDlg::OnWrite);
    connect(m_Controls.exit, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_Bridge, &CLinkEventBridge::queueFull, this, &CMainDlg::OnQueueFull);
    connect(&m_Bridge, &CLinkEventBridge::linkLost, this, &CMainDlg::OnLinkLost);
    m_Session.Start();  // the first refresh: 32 empty fields
    m_Controls.Entry(FirstTabStopEntry()).setFocus();
}

CMainDlg::~CMainDlg() {
    m_Timers.StopAll();
    ClosePort();
}

const QString& CMainDlg::StatusText() const {
    return m_pStatusLine->Text();
}

void CMainDlg::done(int result) {
    m_Timers.StopAll();
    ClosePort();
    QDialog::done(result);
}

void CMainDlg::ClosePort() {
    m_Comm.Close();         // returns after the watcher has ended
    m_Bridge.PortClosed();  // so nothing it reported is still on its way
    m_Session.OnPortClosed();
}

void CMainDlg::OnSelectPort(int index) {
    ClosePort();
    m_nPortNo = index;
    if (m_nPortNo == kPortDisable) return;
    m_bPortError = 0;
    if (m_Comm.Open(ComPortName(m_nPortNo), kLineBaud, static_cast<std::uint16_t>(m_nPortNo)) ==
        0) {
        m_bPortError = 1;
        // The list keeps the choice; the user must not believe the port is open.
        ShowBox({QStringLiteral("Cannot open %1").arg(PortItemText(m_nPortNo)),
                 QString::fromStdString(m_Comm.LastError()), MessageButtons::Ok,
                 QMessageBox::Warning});
    }
}

void CMainDlg::OnRead() {
    ClearMarks();
    m_Session.OnRead(ReadMode::Fill);
}

void CMainDlg::OnWrite() {
    ClearMarks();
    const EntryTexts texts = FieldTexts();
    const CBusyWindow busy(
        *this, {m_Controls.read, m_Controls.write, m_Controls.exit, m_Controls.portList});
    m_Session.OnWrite(texts);
}

void CMainDlg::timerEvent(QTimerEvent* event) {
    if (const std::optional<TickTimer> timer = m_Timers.TimerOf(*event)) {
        if (*timer == TickTimer::Reply) {
            m_Session.OnReplyTick();
        } else {
            m_Session.OnGapTick();
        }
        return;
    }
    QDialog::timerEvent(event);
}

bool CMainDlg::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == WM_RX_NOTIFY) {
        m_Session.OnRxNotify();
    } else if (type == WM_RX_FRAME) {
        m_Session.EvaluateRxFrame();
    } else if (type == WM_TX_FRAME) {
        m_Session.SendTxFrame();
    } else {
        return QDialog::event(event);
    }
    return true;
}

void CMainDlg::OnLinkLost(std::uint16_t portId, const QString& reason) {
    ClosePort();  // frees the device; choosing the port again reopens it
    const QString name = PortItemText(portId);
    ShowBox({QStringLiteral("Connection to %1 lost").arg(name),
             reason + QStringLiteral("\nPlug the device in again, then choose %1 in the port list.")
                          .arg(name),
             MessageButtons::Ok, QMessageBox::Warning});
}

void CMainDlg::OnQueueFull(std::uint16_t portId, std::uint64_t droppedBytes) {
    ShowBox({QString::fromUtf8(kMsgQueueFull.data(), static_cast<qsizetype>(kMsgQueueFull.size())),
             QStringLiteral("%1: %2 received bytes were dropped since the last report, because "
                            "the device sent faster than they could be taken.")
                 .arg(PortItemText(portId))
                 .arg(droppedBytes),
             MessageButtons::Ok, QMessageBox::Warning});
}

// ISessionView

void CMainDlg::ShowEntryTexts(const EntryTexts& texts) {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        QLineEdit& field = m_Controls.Entry(entry);
        const QString text = FromBytes(texts[static_cast<std::size_t>(entry - 1)]);
        if (field.text() != text) field.setText(text);
    }
}

void CMainDlg::MarkReceived(int entry) {
    if (m_ValueFontFields.Has(entry)) return;
    if (!m_ValueFont) m_ValueFont = MakeValueFont();
    m_Controls.Entry(entry).setFont(*m_ValueFont);
    m_ValueFontFields.Add(entry);
}

void CMainDlg::ShowStatus(SessionStatus status) {
    m_pStatusLine->Show(StatusLineText(status));
}

MessageAnswer CMainDlg::ShowMessage(const SessionMessage& message) {
    return ShowBox({QString::fromStdString(message.text), DetailFor(message.kind), message.buttons,
                    QMessageBox::NoIcon});
}

void CMainDlg::OnReadEnded(const ReadResult& result) {
    if (result.mode == ReadMode::Compare) ShowComparison(result);
}

void CMainDlg::SaveTable() {
    const QString path = m_FileChooser ? m_FileChooser(true) : ChooseTableFile(this, true);
    if (path.isEmpty()) return;
    if (const QString failed = SaveTableFile(path, FieldTexts()); !failed.isEmpty()) {
        ShowBox({QStringLiteral("Cannot save the table"), failed, MessageButtons::Ok,
                 QMessageBox::Warning});
    }
}

void CMainDlg::LoadTable() {
    const QString path = m_FileChooser ? m_FileChooser(false) : ChooseTableFile(this, false);
    if (path.isEmpty()) return;
    const TableLoad load = keltrove::LoadTable(path.toStdString());
    if (!load.table) {
        constexpr std::size_t kShown = 5;
        QStringList problems;
        for (std::size_t i = 0; i < load.problems.size() && i < kShown; ++i) {
            problems << QString::fromStdString(load.problems[i]);
        }
        if (load.problems.size() > kShown) {
            problems << QStringLiteral("... and %1 more").arg(load.problems.size() - kShown);
        }
        problems << QStringLiteral("No field was changed.");
        ShowBox({QStringLiteral("Cannot load the table"), problems.join(QLatin1Char('\n')),
                 MessageButtons::Ok, QMessageBox::Warning});
        return;
    }
    ClearMarks();
    m_Session.LoadEntryTexts(*load.table);
}

void CMainDlg::CompareWithPanel() {
    ClearMarks();
    m_Session.OnRead(ReadMode::Compare);
}

// Each field whose panel value differs gets a red frame and the panel's value in its
// tooltip; one box says how many differ.
void CMainDlg::ShowComparison(const ReadResult& result) {
    if (!result.whole) return;  // the failed read has said why
    const EntryTexts fields = FieldTexts();
    EntrySet differ;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const auto index = static_cast<std::size_t>(entry - 1);
        const FrameValue wire = AlignValue(fields[index]);
        const std::string& panel = result.values[index];
        if (std::string(wire.begin(), wire.end()) == panel) continue;
        differ.Add(entry);
        MarkField(entry, FromBytes(panel));
    }
    const QString text = differ.Empty()
                             ? QStringLiteral("All 32 entries match the panel.")
                             : QStringLiteral("%1 %2 from the panel: %3.")
                                   .arg(differ.Count())
                                   .arg(differ.Count() == 1 ? QStringLiteral("entry differs")
                                                            : QStringLiteral("entries differ"))
                                   .arg(QString::fromStdString(DescribeEntries(differ)));
    ShowBox({text,
             differ.Empty() ? QString()
                            : QStringLiteral("They have a red frame; the tooltip of each shows "
                                             "what the panel holds."),
             MessageButtons::Ok, QMessageBox::Information});
}

void CMainDlg::ClearMarks() {
    for (int entry = 1; entry <= kEntryCount; ++entry) MarkField(entry, {});
}

// A null `panelValue` takes the mark away.
void CMainDlg::MarkField(int entry, const QString& panelValue) {
    QLineEdit& field = m_Controls.Entry(entry);
    const QString name = QStringLiteral("Entry %1").arg(entry);
    if (panelValue.isNull()) {
        field.setStyleSheet({});
        field.setToolTip(name);
        return;
    }
    field.setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
    field.setToolTip(QStringLiteral("%1: the panel holds \"%2\"").arg(name, panelValue));
}

QString CMainDlg::DetailFor(MessageKind kind) const {
    if (kind != MessageKind::NoReply && kind != MessageKind::WriteNotTaken) return {};
    if (m_nPortNo == kPortDisable)
        return QStringLiteral("No port is open; choose one in the port list.");
    const QString name = PortItemText(m_nPortNo);
    if (!m_Comm.IsOpen()) {
        return QStringLiteral("%1 is not open; choose it in the port list again.").arg(name);
    }
    const QString device = QString::fromStdString(m_Comm.DevicePath());
    if (kind == MessageKind::NoReply) {
        return QStringLiteral(
                   "%1 (%2) gave no answer. Check that the panel is switched on and "
                   "its cable is plugged in, then press Read again.")
            .arg(name, device);
    }
    return QStringLiteral(
               "%1 (%2) did not take the frames. Check the cable, then press Write "
               "again.")
        .arg(name, device);
}

MessageAnswer CMainDlg::ShowBox(const BoxRequest& request) {
    if (m_MessageHandler) return m_MessageHandler(request);
    return RunMessageBox(this, request);
}

EntryTexts CMainDlg::FieldTexts() const {
    EntryTexts texts;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        // One byte per character; a character without a Latin-1 byte goes out as '?'.
        texts[static_cast<std::size_t>(entry - 1)] =
            m_Controls.Entry(entry).text().toLatin1().toStdString();
    }
    return texts;
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!enter || modifiers != Qt::NoModifier) {
        QDialog::keyPressEvent(event);  // Escape ends the window
        return;
    }
    // Enter confirms what was typed and never ends the window, which would lose the table.
    if (focusWidget() == m_Controls.portList) {
        if (m_Controls.portList->currentIndex() >= 0) {
            OnSelectPort(m_Controls.portList->currentIndex());
        }
    } else {
        focusNextChild();  // as Tab does: the next field in tab order
    }
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the window menu, which a Linux window does not let a program extend.
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("Save table as...")), &QAction::triggered, this,
            &CMainDlg::SaveTable);
    connect(menu.addAction(QStringLiteral("Load table...")), &QAction::triggered, this,
            &CMainDlg::LoadTable);
    connect(menu.addAction(QStringLiteral("Compare with panel")), &QAction::triggered, this,
            &CMainDlg::CompareWithPanel);
    connect(menu.addAction(QStringLiteral("Close")), &QAction::triggered, this, &QDialog::reject);
    menu.addSeparator();
    connect(menu.addAction(QString::fromUtf8(kAboutMenuText)), &QAction::triggered, this,
            &CMainDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void CMainDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

}  // namespace keltrove
