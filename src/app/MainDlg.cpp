#include "MainDlg.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimerEvent>
#include <algorithm>

#if defined(__SANITIZE_THREAD__)
#define KELTROVE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELTROVE_TSAN 1
#endif
#endif
#ifdef KELTROVE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

#include "AboutDlg.h"
#include "DialogFonts.h"
#include "DialogTemplate.h"
#include "MessageBox.h"
#include "PortCombo.h"
#include "TemplateControl.h"

namespace keltrove {

namespace {

constexpr std::uint32_t kBaudRate = 9600;
constexpr int kEntryMaxChars = 4;
constexpr std::string_view kAboutMenuText = "Keltrove 정보(&A)...";  // string 101

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

QEvent::Type LinkMessageEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type LinkLostEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// A port layer message, carried to the GUI thread.
class CLinkMessageEvent final : public QEvent {
public:
    explicit CLinkMessageEvent(std::string text)
        : QEvent(LinkMessageEventType()), m_strText(std::move(text)) {}
    const std::string m_strText;
};

// A lost device, carried to the GUI thread with the close count of the watcher's time.
class CLinkLostEvent final : public QEvent {
public:
    CLinkLostEvent(std::uint16_t portId, unsigned generation)
        : QEvent(LinkLostEventType()), m_wPortId(portId), m_nGeneration(generation) {}
    const std::uint16_t m_wPortId;
    const unsigned m_nGeneration;
};

// Qt delivers a posted event only after it was made, but orders the two under locks that
// ThreadSanitizer cannot see (Qt is not instrumented), so an event made on the watcher's
// thread and read here would look raced. In a TSan build these two state that order.
void MarkPosting([[maybe_unused]] QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_release(receiver);
#endif
}

void MarkDelivered([[maybe_unused]] QObject* receiver) {
#ifdef KELTROVE_TSAN
    __tsan_acquire(receiver);
#endif
}

// The first tab stop of the template takes the focus when the dialog opens.
int FirstTabStopEntry() {
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.tabStop) return control.entry;
    }
    return 1;
}

}  // namespace

CMainDlg::CMainDlg(IPause* pause)
    : QDialog(nullptr, kWindowFlags),
      m_Pause(pause != nullptr ? *pause : m_RealPause),
      m_Comm(this),
      m_Session(*this, m_Comm, m_Pause) {
    const CDialogUnits units = SetUpTemplateWindow(*this, MainDialogTemplate());
    m_Controls = BuildMainDlgControls(*this, units);
    connect(m_Controls.portList, &QComboBox::activated, this, &CMainDlg::OnSelectPort);
    connect(m_Controls.read, &QPushButton::clicked, this, &CMainDlg::OnRead);
    connect(m_Controls.write, &QPushButton::clicked, this, &CMainDlg::OnWrite);
    connect(m_Controls.exit, &QPushButton::clicked, this, &QDialog::reject);
    OnInitDialog();
}

CMainDlg::~CMainDlg() {
    ClosePort();
}

void CMainDlg::OnInitDialog() {
    m_Session.OnInitDialog();  // the first refresh: 32 empty fields, 4 characters each
    m_Timers.Start(this);
    m_Controls.Entry(FirstTabStopEntry()).setFocus();
}

void CMainDlg::accept() {
    m_Session.TakeFieldTexts();
    QDialog::accept();
}

void CMainDlg::done(int result) {
    m_Timers.Stop();
    ClosePort();
    // Reports about the port just closed are moot now.
    QCoreApplication::removePostedEvents(this, WM_RX_NOTIFY);
    QCoreApplication::removePostedEvents(this, LinkMessageEventType());
    QCoreApplication::removePostedEvents(this, LinkLostEventType());
    m_bRxNotifyPosted.store(false);
    QDialog::done(result);
}

void CMainDlg::ClosePort() {
    m_Comm.Close();  // returns after the watcher has ended
    // Counted after the join: a lost report of the old watcher is stale from here on, and
    // the next watcher starts with the new count.
    m_nLinkGeneration.fetch_add(1);
}

void CMainDlg::OnSelectPort(int index) {
    ClosePort();
    m_nPortNo = index;
    if (m_nPortNo == kPortDisable) return;
    m_nBaudRate = static_cast<int>(kBaudRate);
    const QString name = ComPortName(m_nPortNo);
    m_bPortError = 0;
    if (m_Comm.Open(name.toStdString(), kBaudRate, static_cast<std::uint16_t>(m_nPortNo)) == 0) {
        m_bPortError = 1;
        // The list keeps the choice; the user must not believe the port is open.
        ShowBox(QStringLiteral("Cannot open %1\n%2")
                    .arg(name, QString::fromStdString(m_Comm.LastError())),
                MessageButtons::Ok, QMessageBox::Warning);
    }
}

void CMainDlg::OnRead() {
    m_Session.OnRead();
}

void CMainDlg::OnWrite() {
    m_Session.OnWrite();
}

void CMainDlg::OnTimer(unsigned id) {
    m_Session.OnTimer(id);
    emit timerHandled(id);
}

void CMainDlg::timerEvent(QTimerEvent* event) {
    if (const std::optional<unsigned> id = m_Timers.IdOf(*event)) {
        OnTimer(*id);
        return;
    }
    QDialog::timerEvent(event);
}

bool CMainDlg::event(QEvent* event) {
    MarkDelivered(this);
    if (OnPrivateEvent(*event)) return true;
    return QDialog::event(event);
}

bool CMainDlg::OnPrivateEvent(QEvent& event) {
    const QEvent::Type type = event.type();
    if (type == WM_RX_NOTIFY) {
        // Cleared before the drain, so bytes stored meanwhile bring a new notification.
        m_bRxNotifyPosted.store(false);
        m_Session.OnRxNotify();
    } else if (type == WM_RX_FRAME) {
        m_Session.EvaluateRxFrame();
    } else if (type == WM_TX_FRAME) {
        m_Session.SendTxFrame();
    } else if (type == LinkLostEventType()) {
        const auto& lost = static_cast<const CLinkLostEvent&>(event);
        OnPortLost(lost.m_wPortId, lost.m_nGeneration);
    } else if (type == LinkMessageEventType()) {
        OnPortMessage(static_cast<const CLinkMessageEvent&>(event).m_strText);
    } else {
        return false;
    }
    return true;
}

void CMainDlg::OnPortLost(std::uint16_t portId, unsigned generation) {
    if (generation != m_nLinkGeneration.load()) return;  // closed or chosen again since
    ClosePort();  // frees the device; choosing the port again reopens it
    ShowBox(QStringLiteral("Connection to %1 lost").arg(ComPortName(portId)), MessageButtons::Ok,
            QMessageBox::Warning);
}

void CMainDlg::OnPortMessage(const std::string& text) {
    // The watcher does not wait for the box, so the same report can come again while the
    // box is open; one box for it is enough.
    if (std::find(m_OpenLinkMessages.begin(), m_OpenLinkMessages.end(), text) !=
        m_OpenLinkMessages.end()) {
        return;
    }
    m_OpenLinkMessages.push_back(text);
    ShowBox(QString::fromStdString(text), MessageButtons::Ok, QMessageBox::Warning);
    m_OpenLinkMessages.erase(std::find(m_OpenLinkMessages.begin(), m_OpenLinkMessages.end(), text));
}

// ILinkEvents: the watcher's thread. Post and return; never wait for the GUI thread.

void CMainDlg::OnRxNotify(std::uint16_t /*portId*/) {
    if (!m_bRxNotifyPosted.exchange(true)) Post(new QEvent(WM_RX_NOTIFY));
}

void CMainDlg::OnLinkMessage(std::string text) {
    Post(new CLinkMessageEvent(std::move(text)));
}

void CMainDlg::OnLinkLost(std::uint16_t portId, std::string /*reason*/) {
    Post(new CLinkLostEvent(portId, m_nLinkGeneration.load()));
}

void CMainDlg::Post(QEvent* event) {
    MarkPosting(this);
    QCoreApplication::postEvent(this, event);  // takes the event
}

// IDialogView

std::string CMainDlg::EntryFieldText(int entry) const {
    // One byte per character; a character without a Latin-1 byte goes out as '?'.
    return m_Controls.Entry(entry).text().toLatin1().toStdString();
}

void CMainDlg::ShowEntryTexts(const EntryTexts& texts) {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        QLineEdit& field = m_Controls.Entry(entry);
        field.setMaxLength(kEntryMaxChars);
        const std::string& bytes = texts[static_cast<std::size_t>(entry - 1)];
        const QString text =
            QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
        if (field.text() != text) field.setText(text);
    }
}

void CMainDlg::UseValueFont(int entry) {
    if (!m_ValueFont) m_ValueFont = MakeValueFont();
    m_Controls.Entry(entry).setFont(*m_ValueFont);
}

void CMainDlg::ShowStatus(std::string_view text) {
    m_StatusLine.SetText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    // At once, not from the event loop: a write keeps the GUI thread busy for seconds.
    repaint(CStatusLine::Rect());
}

MessageAnswer CMainDlg::ShowMessage(std::string_view text, MessageButtons buttons) {
    return ShowBox(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), buttons,
                   QMessageBox::NoIcon);
}

MessageAnswer CMainDlg::ShowBox(const QString& text, MessageButtons buttons,
                                QMessageBox::Icon icon) {
    if (m_MessageHandler) return m_MessageHandler(text.toStdString(), buttons);
    return RunMessageBox(this, text, buttons, icon);
}

void CMainDlg::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    m_StatusLine.Paint(painter);
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    // Enter in a field or the port list ends as OK, although no button is a default one.
    if (enter && modifiers == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the window menu, which a Linux window does not let a program extend.
    QMenu menu(this);
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
