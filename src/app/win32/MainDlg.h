// MainDlg: the main window (dialog IDD_MAIN of Keltrove.rc) and its dialog procedure.
//
// The window is the Win32 face of CPanelPresenter, as the Qt window is on Linux: the
// presenter owns the port and the protocol session and decides what the window shows and
// asks; the window turns messages into the presenter's calls and keeps its controls, the
// two timers (running only while the session asks), the busy guard of a write, the file
// dialogs, the boxes and the status line's painting. It answers the private messages 1025
// to 1027 whoever posts or sends them (PrivateMessages.h); the watcher's reports reach it
// as posted messages. A field takes four Latin-1 characters at most. Enter never ends the
// window: it moves to the next field, or confirms the port list's choice. Every way of
// ending closes the port and joins its watcher before the dialog ends. GUI thread only.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "GdiHandles.h"
#include "PanelPresenter.h"
#include "PortList.h"
#include "StatusLine.h"
#include "TraceFile.h"

namespace keltrove {

// The main dialog's window while it exists, else null: where other threads post to it.
// Set before any such thread starts, cleared after they have stopped.
extern HWND g_hDlgWnd;

class CMainDlg final : private IPanelWindow, private ITickTimers, private IPause {
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
    // The entry fields' subclass: refuses what Latin-1 cannot carry.
    static LRESULT CALLBACK FieldProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR entry, DWORD_PTR self);
    // Posts a watcher's report to the window; on the watcher's thread.
    static void PostReport(LinkReport report);

    // The dialog procedure's result for a message it handles; nothing for the rest.
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(UINT id, UINT code);
    void OnEnter();
    void OnPaint();
    void OnContextMenu(LPARAM lParam);
    void ShowAbout() const;
    void End();
    // For good: the window is ending.
    void StopTimers();
    void OnDestroy();
    LRESULT OnFieldChar(HWND hField, int entry, WPARAM wParam, LPARAM lParam);
    LRESULT OnFieldPaste(HWND hField, int entry);

    void SetUpFields();
    void SetUpSystemMenu() const;
    void SetIcons();
    void DropInputSinceBusy() const;
    HWND Field(int entry) const;
    RECT FieldFrame(int entry) const;
    void SetFieldTip(int entry, const std::string& text) const;

    // IPanelWindow
    void ShowFieldTexts(const FieldTexts& texts) override;
    FieldTexts GetFieldTexts() const override;
    void SetValueFont(int entry) override;
    void MarkField(int entry, FieldMark mark, const std::string& tooltip) override;
    void SetStatusText(const std::string& text) override;
    MessageAnswer Ask(const PanelBox& box) override;
    void ShowActivity(Activity activity) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    std::string LocalTimeText() const override;
    // ITickTimers
    void SetTicking(TickTimer timer, bool on) override;
    // IPause
    void Pause(std::chrono::milliseconds duration) override;

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    HWND m_hTooltip = nullptr;                  // owned by the dialog, destroyed with it
    HICON m_hIcon = nullptr;                    // shared: the system's, never destroyed here
    UniqueFont m_ValueFont;                     // made for the first received value
    UniqueBrush m_FrameBrush;                   // the red frame of a differing field
    EntrySet m_ValueFields;                     // the fields in the value font
    std::array<bool, kEntryCount> m_Differs{};  // the fields with a red frame
    wchar_t m_wPendingHigh = 0;                 // a surrogate's first half, waiting for its second
    CPortList m_PortList;
    CStatusLine m_StatusLine;
    CTraceFile m_Trace;
    std::array<bool, 2> m_Ticking{};  // Reply, Gap
    bool m_bEnded = false;            // the timers stay stopped from here on
    Activity m_Activity = Activity::Idle;
    std::array<HWND, 4> m_BusyDisabled{};  // the controls the activity disabled
    HWND m_hBusyFocus = nullptr;           // where the focus was when it began
    CPanelPresenter m_Presenter;           // last: its port closes before the rest goes
};

}  // namespace keltrove
