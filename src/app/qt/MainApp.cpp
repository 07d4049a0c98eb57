#include "MainApp.h"

#include <QCommandLineParser>
#include <QSettings>
#include <string_view>

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

// The description that --help shows; help2man makes the manual page from it.
void SetUpParser(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Service tool for the DERID panel device: reads the panel's table of 32 entries over a "
        "serial line into 32 fields, and writes the fields into the panel.\n\n"
        "Choose a port (COM1 to COM8) in the window's list, then press Read or Write. The "
        "right-click menu saves the fields to a table file, loads one, and compares the fields "
        "with the panel. On Linux, COMn is looked up in $KELTROVE_PORT_DIR, then in "
        "~/.config/keltrove/ports (see keltrove-cli map), then in /etc/keltrove/ports, and is "
        "/dev/ttyS<n-1> at last.\n\n"
        "Set QT_LOGGING_RULES=\"keltrove.wire.debug=true\" to log every frame sent and "
        "received."));
    parser.addHelpOption();
    parser.addVersionOption();
}

void SetNames() {
    QCoreApplication::setApplicationName(QString::fromUtf8(kAppName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kAppVersion));
}

}  // namespace

// --help and --version must answer without a display (over ssh, or for help2man), so they
// are answered before the window's QApplication exists, which would need one.
CMainApp::CQuietStart::CQuietStart(int& argc, char** argv) {
    g_QtHandler = qInstallMessageHandler(&QuietHandler);
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            QCoreApplication app(argc, argv);
            SetNames();
            QCommandLineParser parser;
            SetUpParser(parser);
            parser.process(app);  // ends the process
        }
    }
}

CMainApp::CMainApp(int& argc, char** argv) : m_QuietStart(argc, argv), m_App(argc, argv) {
    if (m_Settings.isValid()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_Settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
    }
    SetNames();
    QApplication::setDesktopFileName(QString::fromUtf8(kAppId));
    QApplication::setWindowIcon(AppIcon());
    // The version block's strings, readable by anything that inspects the application.
    m_App.setProperty("fileDescription", QString::fromUtf8(kFileDescription));
    m_App.setProperty("productName", QString::fromUtf8(kProductName));
    m_App.setProperty("internalName", QString::fromUtf8(kInternalName));
    m_App.setProperty("originalFilename", QString::fromUtf8(kOriginalFilename));
    ParseCommandLine();
    m_pCursorBlink = std::make_unique<CCursorBlink>();
}

// What is left once Qt has taken its own options: anything unknown is refused rather than
// ignored.
void CMainApp::ParseCommandLine() {
    QCommandLineParser parser;
    SetUpParser(parser);
    parser.process(m_App);
}

CMainApp::~CMainApp() = default;

int CMainApp::Run(const std::function<void(CMainDlg&)>& prepare) {
    CMainDlg dialog;
    const CQuitSignals quit(m_StopSignals, [&dialog] { dialog.EndNow(); });
    if (prepare) prepare(dialog);
    dialog.exec();  // how the dialog ended does not matter to the process
    return 0;
}

}  // namespace keltrove
