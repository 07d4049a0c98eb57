// MainDlg: the main window (dialog IDD_MAIN of Keltrove.rc) and its dialog procedure.
//
// For now it only opens with the port list filled and ends on Exit, Escape or the close
// box; the fields and buttons do nothing yet. GUI thread only.
#pragma once

#include <windows.h>

namespace keltrove {

// The main dialog's window while it exists, else null: where other threads post to it.
// Set before any such thread starts, cleared after they have stopped.
extern HWND g_hDlgWnd;

class CMainDlg final {
public:
    explicit CMainDlg(HINSTANCE hInstance) noexcept;
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Runs the dialog modally until it ends: its EndDialog result, or -1 when it could not
    // be made.
    INT_PTR DoModal() noexcept;

private:
    // Reaches the CMainDlg through DWLP_USER, which WM_INITDIALOG sets from DoModal's
    // `this`; messages that come before it get the default handling.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    BOOL OnCommand(UINT id);
    void SetIcons() const;
    void AddPortItems() const;

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
};

}  // namespace keltrove
