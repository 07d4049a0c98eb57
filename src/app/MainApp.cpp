#include "MainApp.h"

#include <QSettings>

#include "AppIcon.h"
#include "AppInfo.h"
#include "CursorBlink.h"
#include "MainDlg.h"
#include "QuitSignals.h"

namespace keltrove {

namespace {

QtMessageHandler g_QtHandler = nullptr;

// Qt says on every start that XDG_RUNTIME_DIR is unset (root, su, ssh): true, but nothing
// the user of this program needs to act on.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    if (g_QtHandler != nullptr) g_QtHandler(type, context, message);
}

}  // namespace

CMainApp::CQuietStart::CQuietStart() {
    g_QtHandler = qInstallMessageHandler(&QuietHandler);
}

CMainApp::CMainApp(int& argc, char** argv) : m_App(argc, argv) {
    if (m_Settings.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_Settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
    }
    QApplication::setApplicationName(QString::fromUtf8(kAppName));
    QApplication::setApplicationVersion(QString::fromUtf8(kAppVersion));
    QApplication::setDesktopFileName(QStringLiteral("keltrove"));
    QApplication::setWindowIcon(AppIcon());
    // The version block's strings, readable by anything that inspects the application.
    m_App.setProperty("fileDescription", QString::fromUtf8(kFileDescription));
    m_App.setProperty("productName", QString::fromUtf8(kProductName));
    m_App.setProperty("internalName", QString::fromUtf8(kInternalName));
    m_App.setProperty("originalFilename", QString::fromUtf8(kOriginalFilename));
    m_pCursorBlink = std::make_unique<CCursorBlink>();
}

CMainApp::~CMainApp() = default;

int CMainApp::Run(const std::function<void(CMainDlg&)>& prepare) {
    CMainDlg dialog;
    const CQuitSignals quit([&dialog] { dialog.reject(); });
    if (prepare) prepare(dialog);
    dialog.exec();  // how the dialog ended does not matter to the process
    return 0;
}

}  // namespace keltrove
