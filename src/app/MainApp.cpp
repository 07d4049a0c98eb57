#include "MainApp.h"

#include "AppIcon.h"
#include "AppInfo.h"
#include "CursorBlink.h"
#include "MainDlg.h"

namespace keltrove {

CMainApp::CMainApp(int& argc, char** argv) : m_App(argc, argv) {
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
    if (prepare) prepare(dialog);
    dialog.exec();  // how the dialog ended does not matter to the process
    return 0;
}

}  // namespace keltrove
