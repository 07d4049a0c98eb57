// MainApp: CMainApp, the application: Qt with the program's name, version and icon, and
// the one modal main dialog.
//
// Construct it once, on the main thread, with main's arguments; Run shows the dialog and
// returns when it has ended, also when SIGINT, SIGTERM or SIGHUP asked it to. The program
// has no files or settings of its own and no options but --help and --version, which the
// constructor answers by ending the process (Qt reads its usual ones, such as -platform);
// what Qt's own file dialog would remember lasts only for the run. Run
// always returns 0, however the dialog ended; a Qt that cannot start (no display) ends the
// process before Run.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "StopSignals.h"

namespace keltrove {

class CCursorBlink;
class CMainDlg;

class CMainApp {
public:
    CMainApp(int& argc, char** argv);
    ~CMainApp();

    // `prepare`, when given, sees the dialog before it opens (the start-up benchmark uses
    // it to watch for the first paint).
    int Run(const std::function<void(CMainDlg&)>& prepare = {});

private:
    void ParseCommandLine();

    // Before QApplication, which may warn as it starts, and which --help and --version
    // must not need.
    struct CQuietStart {
        CQuietStart(int& argc, char** argv);
    } m_QuietStart;
    CStopSignals m_StopSignals;  // before QApplication, which may start threads
    QApplication m_App;
    QTemporaryDir m_Settings;  // where Qt's file dialog keeps its history for this run
    std::unique_ptr<CCursorBlink> m_pCursorBlink;
};

}  // namespace keltrove
