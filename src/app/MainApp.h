// MainApp: CMainApp, the application: Qt with the program's name, version and icon, and
// the one modal main dialog.
//
// Construct it once, on the main thread, with main's arguments; Run shows the dialog and
// returns when it has ended. The program has no options, files or settings of its own
// (Qt reads its usual ones, such as -platform). Run always returns 0, however the dialog
// ended; a Qt that cannot start (no display) ends the process before Run.
#pragma once

#include <QApplication>
#include <functional>
#include <memory>

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
    QApplication m_App;
    std::unique_ptr<CCursorBlink> m_pCursorBlink;
};

}  // namespace keltrove
