#include "MainDlg.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
// clang-format on

#include <exception>

#include "AboutBox.h"
#include "DialogTemplate.h"
#include "FileDialogs.h"
#include "MessageBox.h"
#include "PrivateMessages.h"
#include "ReportMessages.h"
#include "SystemError.h"
#include "WindowChrome.h"
#include "WindowDpi.h"
#include "WindowIntents.h"

namespace keltrove {

HWND g_hDlgWnd = nullptr;

namespace {

// The right-click menu's commands: the index of the item in ContextMenuItems, plus one.
constexpr UINT kFirstMenuCommand = 1;

void ShowError(HWND owner, const std::wstring& text) {
    ::MessageBoxW(owner, text.c_str(), Widen(kCaption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

CMainDlg::CMainDlg(HINSTANCE hInstance)
    : m_hInstance(hInstance),
      m_Trace([this] { return PortItemText(m_Presenter.PortNo()); }),
      m_Presenter(*this, m_Timers, *this,
                  [](LinkReport report) { PostReport(g_hDlgWnd, std::move(report)); }) {}

CMainDlg::~CMainDlg() {
    m_Presenter.Close();
}

INT_PTR CMainDlg::DoModal() noexcept {
    return ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CMainDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CMainDlg* self = nullptr;
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self = reinterpret_cast<CMainDlg*>(lParam);
        self->m_hWnd = hWnd;
        g_hDlgWnd = hWnd;
    } else {
        self = reinterpret_cast<CMainDlg*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        if (self == nullptr) return FALSE;
    }
    // No exception may cross the system's code that called this.
    try {
        if (message == WM_INITDIALOG) return self->OnInitDialog();
        return self->OnMessage(message, wParam, lParam).value_or(FALSE);
    } catch (const std::exception& error) {
        ShowError(hWnd, Widen(error.what()));
    } catch (...) {
        ShowError(hWnd, L"Unexpected error");
    }
    return FALSE;
}

std::optional<INT_PTR> CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (std::optional<LinkReport> report = ReportIn(message, wParam, lParam)) {
        m_Presenter.Deliver(*report);
        return Result(0);
    }
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (const auto timer = CDialogTimers::TimerOf(wParam)) m_Presenter.OnTick(*timer);
            return TRUE;
        case WM_RX_NOTIFY:  // not the watcher's: nothing to clear
            m_Presenter.OnRxNotify();
            return Result(0);
        case WM_RX_FRAME:
            return Result(m_Presenter.EvaluateRxFrame() ? 1 : 0);
        case WM_TX_FRAME:
            return Result(static_cast<LONG_PTR>(m_Presenter.SendTxFrame()));
        case DM_GETDEFID:  // Enter means IDOK, whichever button had the focus last
            return Result(MAKELONG(IDOK, DC_HASDEFID));
        case WM_PAINT:
            OnPaint();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hIcon);
        case WM_SYSCOMMAND:
            return OnSysCommand(wParam);
        case WM_CONTEXTMENU:
            if (!m_Busy.DropsInput()) OnContextMenu(lParam);
            return TRUE;
        case WM_NOTIFY:
            return OnTooltip(lParam);
        case WM_DEVICECHANGE:  // a port came or went: an awaited one is tried now
            m_Presenter.OnDevicesChanged();
            return TRUE;
        case WM_DPICHANGED:
            m_Fields.OnDpiChanged(HIWORD(wParam));
            return FALSE;  // the dialog manager moves and scales the rest
        case WM_ENDSESSION:
            if (wParam) m_Presenter.Close();  // the process ends without the dialog's end
            return Result(0);
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case WM_NCDESTROY:
            g_hDlgWnd = nullptr;
            m_hWnd = nullptr;
            return FALSE;
        default:
            return std::nullopt;
    }
}

// A result that the dialog manager returns for the window, whoever sent the message.
INT_PTR CMainDlg::Result(LONG_PTR value) const {
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, value);
    return TRUE;
}

BOOL CMainDlg::OnInitDialog() {
    m_hIcon = SetUpChrome(m_hInstance, m_hWnd);
    m_hTooltip = MakeTooltips(m_hInstance, m_hWnd);
    m_Timers.Attach(m_hWnd);
    m_Busy.Attach(m_hWnd);
    m_StatusLine.Attach(m_hWnd);
    m_PortList.Attach(m_hWnd, ::GetDlgItem(m_hWnd, IDC_PORT_LIST), m_hTooltip);
    m_Fields.Attach(
        m_hWnd, m_hTooltip,
        [this](int entry, const std::string& refused) { m_Presenter.OnRefused(entry, refused); },
        [this] { return m_Busy.DropsInput(); });
    m_Keys.Attach(m_hWnd);
    m_DeviceNotice.Start(m_hWnd);
    m_Names.Attach(m_hWnd);
    const std::string traceFailed = m_Trace.Open();
    if (m_Trace.IsOn()) m_Presenter.SetTrace(&m_Trace);
    m_Presenter.Start();  // the first refresh: 32 empty fields
    if (!traceFailed.empty()) {
        Ask({traceFailed, "Keltrove runs without the trace.", MessageButtons::Ok, MessageAnswer::Ok,
             BoxIcon::Warning});
    }
    return TRUE;  // the focus goes to the first field
}

void CMainDlg::OnCommand(UINT id, UINT code) {
    if (m_Busy.DropsInput()) return;  // a write takes no input, Escape's included
    if (const std::optional<Shortcut> shortcut = CShortcutKeys::ShortcutOf(id)) {
        return OnShortcut(*shortcut);
    }
    switch (id) {
        case IDOK:  // Enter
            return OnEnter();
        case IDCANCEL:  // Escape, the close box, Alt+F4 and the system menu's Close
            return End();
        case IDC_EXIT:
            if (code == BN_CLICKED) Carry(Intent::Close);
            return;
        case IDC_READ:
            if (code == BN_CLICKED) Carry(Intent::Read);
            return;
        case IDC_WRITE:
            if (code == BN_CLICKED) Carry(Intent::Write);
            return;
        case IDC_PORT_LIST:
            if (code == CBN_SELENDOK) m_Presenter.OnSelectPort(m_PortList.Selection());
            if (code == CBN_DROPDOWN) m_PortList.OnDropDown();
            if (code == CBN_SELCHANGE) m_PortList.OnSelChange();
            return;
        default:
            return;
    }
}

// What the buttons and the menus ask, in one place.
void CMainDlg::Carry(Intent intent) {
    if (m_Presenter.Carry(intent, m_PortList.Selection())) return;
    if (intent == Intent::Close) {
        End();
    } else {
        ShowAboutBox(m_hInstance, m_hWnd);
    }
}

// A key chooses a port exactly as the list does, showing it there first.
void CMainDlg::OnShortcut(const Shortcut& shortcut) {
    if (shortcut.intent == Intent::ChoosePort) {
        if (!m_Presenter.Allows(Intent::ChoosePort)) return;
        ::SendDlgItemMessageW(m_hWnd, IDC_PORT_LIST, CB_SETCURSEL,
                              static_cast<WPARAM>(shortcut.portListItem), 0);
    }
    Carry(shortcut.intent);
}

void CMainDlg::OnEnter() {
    const HWND list = ::GetDlgItem(m_hWnd, IDC_PORT_LIST);
    const HWND focus = ::GetFocus();
    const bool inList = focus != nullptr && (focus == list || ::IsChild(list, focus));
    if (m_Presenter.OnEnter(inList ? std::optional<int>(m_PortList.Selection()) : std::nullopt)) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
    }
}

BOOL CMainDlg::OnSysCommand(WPARAM command) {
    if (m_Busy.DropsInput() && (command & 0xFFF0) == SC_CLOSE) return TRUE;
    if ((command & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
    Carry(Intent::About);
    return TRUE;
}

BOOL CMainDlg::OnTooltip(LPARAM lParam) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    if (info->hdr.hwndFrom != m_hTooltip || info->hdr.code != TTN_GETDISPINFOW) return FALSE;
    if (const wchar_t* text = m_PortList.TipText(info->hdr.idFrom)) {
        info->lpszText = const_cast<wchar_t*>(text);
    }
    return TRUE;
}

void CMainDlg::End() {
    m_Timers.StopAll();
    m_Presenter.Close();  // the port closes and its watcher is joined before the window goes
    ::EndDialog(m_hWnd, 0);
}

void CMainDlg::OnDestroy() {
    m_DeviceNotice.Stop();
    m_Timers.StopAll();
    m_Presenter.Close();        // for a window that goes without End
    DropPostedReports(m_hWnd);  // the watcher has ended: what it posted is freed
}

void CMainDlg::OnPaint() {
    const CPaintDC dc(m_hWnd);
    if (::IsIconic(m_hWnd)) {
        ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc.Get(), x, y, m_hIcon);
        return;
    }
    m_Fields.PaintFrames(dc.Get());
    m_StatusLine.Paint(dc.Get());
}

void CMainDlg::OnContextMenu(LPARAM lParam) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the window's top left
        at = {0, 0};
        ::ClientToScreen(m_hWnd, &at);
    }
    const std::span<const MenuItem> items = ContextMenuItems();
    const CPopupMenu menu;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].text.empty()) {
            ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const UINT state = m_Presenter.Allows(items[i].intent) ? MF_ENABLED : MF_GRAYED;
        ::AppendMenuW(menu.Get(), MF_STRING | state, kFirstMenuCommand + i,
                      Widen(MenuText(items[i])).c_str());
    }
    const auto chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                         m_hWnd, nullptr));
    if (chosen >= kFirstMenuCommand && chosen - kFirstMenuCommand < items.size()) {
        Carry(items[chosen - kFirstMenuCommand].intent);
    }
}

// IPanelWindow

MessageAnswer CMainDlg::Ask(const PanelBox& box) {
    if (m_Trace.IsOn()) m_Trace.OnBox(box.text);
    return RunMessageBox(m_hWnd, box);
}

void CMainDlg::ShowActivity(Activity activity) {
    m_Busy.Show(activity, [this](Intent intent) { return m_Presenter.Allows(intent); });
}

std::optional<std::string> CMainDlg::ChooseFile(FileChoice choice) {
    return ChooseTableFile(m_hWnd, choice);
}

void CMainDlg::Pause(std::chrono::milliseconds duration) {
    ::Sleep(static_cast<DWORD>(duration.count()));
}

}  // namespace keltrove
