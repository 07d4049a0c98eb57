// MainDlg: the main window (dialog IDD_MAIN of Keltrove.rc) and its dialog procedure.
//
// The window is the Win32 face of CPanelPresenter, as the Qt window is on Linux: the
// presenter owns the port and the protocol session and decides what the window shows, asks
// and allows; the window turns messages into the presenter's calls and keeps its parts: the
// fields (EntryFields), the port list, the status line, the busy guard, the timers, the
// trace, the boxes and the file dialogs. It answers the private messages (PrivateMessages.h)
// whoever posts or sends them; the watcher's reports reach it as posted messages
// (ReportMessages.h). Every way of ending closes the port and joins its watcher before the
// dialog ends. GUI thread only.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "AccessibleNames.h"
#include "BusyWindow.h"
#include "DialogTimers.h"
#include "EntryFields.h"
#include "PanelPresenter.h"
#include "PortList.h"
#include "ShortcutKeys.h"
#include "StatusLine.h"
#include "TraceFile.h"
#include "WindowChrome.h"

namespace keltrove {

// The main dialog's window while it exists, else null: where other threads post to it.
// Set before any such thread starts, cleared after they have stopped.
extern HWND g_hDlgWnd;

class CMainDlg final : private IPanelWindow, private IPause {
public:
    explicit CMainDlg(HINSTANCE hInstance);
    ~CMainDlg() override;
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Runs the dialog modally until it ends: its EndDialog result, or -1 when it could not
    // be made.
    INT_PTR DoModal() noexcept;

private:
    // Reaches the CMainDlg through DWLP_USER, which WM_INITDIALOG sets from DoModal's
    // `this`; messages that come before it get the default handling.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The dialog procedure's result for a message it handles; nothing for the rest.
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Result(LONG_PTR value) const;
    BOOL OnInitDialog();
    void OnCommand(UINT id, UINT code);
    void OnShortcut(const Shortcut& shortcut);
    void Carry(Intent intent);
    void OnEnter();
    BOOL OnSysCommand(WPARAM command);
    BOOL OnTooltip(LPARAM lParam);
    void OnPaint();
    void OnContextMenu(LPARAM lParam);
    void End();
    void OnDestroy();

    // IPanelWindow
    void ShowFieldTexts(const FieldTexts& texts) override { m_Fields.ShowTexts(texts); }
    FieldTexts GetFieldTexts() const override { return m_Fields.Texts(); }
    void SetValueFont(int entry) override { m_Fields.SetValueFont(entry); }
    void MarkField(int entry, FieldMark mark, const std::string& tooltip) override {
        m_Fields.Mark(entry, mark, tooltip);
    }
    void SetStatusText(const std::string& text) override {
        m_StatusLine.Show(text);
        m_Names.SetStatus(text);
    }
    MessageAnswer Ask(const PanelBox& box) override;
    void ShowActivity(Activity activity) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    // IPause: the write's pauses hold the thread, which the write sequence intends.
    void Pause(std::chrono::milliseconds duration) override;

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    HWND m_hTooltip = nullptr;  // owned by the dialog, destroyed with it
    HICON m_hIcon = nullptr;    // shared: the system's, never destroyed here
    CEntryFields m_Fields;
    CPortList m_PortList;
    CStatusLine m_StatusLine;
    CBusyWindow m_Busy;
    CDialogTimers m_Timers;
    CShortcutKeys m_Keys;
    CDeviceNotice m_DeviceNotice;
    CAccessibleNames m_Names;
    CTraceFile m_Trace;
    CPanelPresenter m_Presenter;  // last: its port closes before the rest goes
};

}  // namespace keltrove
