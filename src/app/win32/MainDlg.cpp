#include "MainDlg.h"

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "FileDialogs.h"
#include "MessageBox.h"
#include "PrivateMessages.h"
#include "SystemError.h"
#include "resource.h"

namespace keltrove {

HWND g_hDlgWnd = nullptr;

namespace {

// The fields' control IDs by entry number; index 0 is entry 1.
constexpr std::array<int, kEntryCount> kEntryIds{
    IDC_ENTRY1,  IDC_ENTRY2,  IDC_ENTRY3,  IDC_ENTRY4,  IDC_ENTRY5,  IDC_ENTRY6,  IDC_ENTRY7,
    IDC_ENTRY8,  IDC_ENTRY9,  IDC_ENTRY10, IDC_ENTRY11, IDC_ENTRY12, IDC_ENTRY13, IDC_ENTRY14,
    IDC_ENTRY15, IDC_ENTRY16, IDC_ENTRY17, IDC_ENTRY18, IDC_ENTRY19, IDC_ENTRY20, IDC_ENTRY21,
    IDC_ENTRY22, IDC_ENTRY23, IDC_ENTRY24, IDC_ENTRY25, IDC_ENTRY26, IDC_ENTRY27, IDC_ENTRY28,
    IDC_ENTRY29, IDC_ENTRY30, IDC_ENTRY31, IDC_ENTRY32};

constexpr int kValueLength = 4;  // characters a field takes

constexpr UINT_PTR kReplyTimer = 1;
constexpr UINT_PTR kGapTimer = 2;

// The right-click menu's commands.
enum : UINT { kCmdSave = 1, kCmdLoad, kCmdCompare, kCmdClose, kCmdAbout = IDM_ABOUTBOX };

// The value font, as the Linux window's: 16 px high with letters 10 px wide on average, at
// 96 dpi (src/app/qt/DialogFonts.cpp).
constexpr int kValuePixelHeight = 16;
constexpr int kValueAverageWidth = 10;
// Beyond these the face would look broken.
constexpr double kMinStretch = 0.5;
constexpr double kMaxStretch = 2.0;
constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr COLORREF kDiffersRed = RGB(0xd0, 0x00, 0x00);
constexpr int kFrameWidth = 2;
constexpr int kTipWidth96 = 400;  // tooltips wrap at this many pixels at 96 dpi

std::size_t Index(int entry) {
    return static_cast<std::size_t>(entry - 1);
}

std::wstring WindowText(HWND hWnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hWnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A string of the resources; LoadString's pointer into them, which are not NUL-ended.
std::wstring LoadText(HINSTANCE hInstance, UINT id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(hInstance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

UniqueFont CreateValueFont(int height, int width, const wchar_t* face) {
    return UniqueFont(::CreateFontW(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

// The dialog's face, stretched so that its letters are as wide on average as the Linux
// window's value font makes them.
UniqueFont MakeValueFont(HWND dialog, int dpi) {
    LOGFONTW dialogFont{};
    if (const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0))) {
        ::GetObjectW(font, sizeof dialogFont, &dialogFont);
    }
    const int height = -::MulDiv(kValuePixelHeight, dpi, 96);
    UniqueFont natural = CreateValueFont(height, 0, dialogFont.lfFaceName);
    const CWindowDC dc(dialog);
    if (!natural || dc.Get() == nullptr) return natural;
    TEXTMETRICW metrics{};
    SIZE letters{};
    {
        const CSelectObject selected(dc.Get(), natural.Get());
        ::GetTextMetricsW(dc.Get(), &metrics);
        ::GetTextExtentPoint32W(dc.Get(), kLetters, static_cast<int>(std::size(kLetters) - 1),
                                &letters);
    }
    if (letters.cx <= 0 || metrics.tmAveCharWidth <= 0) return natural;
    // CreateFont's width is the average character width, so the stretch scales it.
    const double stretch =
        std::clamp(::MulDiv(kValueAverageWidth, dpi, 96) * (std::size(kLetters) - 1.0) / letters.cx,
                   kMinStretch, kMaxStretch);
    if (std::abs(stretch - 1.0) < 0.01) return natural;
    return CreateValueFont(height, static_cast<int>(std::lround(metrics.tmAveCharWidth * stretch)),
                           dialogFont.lfFaceName);
}

INT_PTR CALLBACK AboutProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

CMainDlg::CMainDlg(HINSTANCE hInstance)
    : m_hInstance(hInstance),
      m_Trace([this] { return PortItemText(m_Presenter.PortNo()); }),
      m_Presenter(*this, *this, *this, &CMainDlg::PostReport) {}

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
        ::MessageBoxW(hWnd, Widen(error.what()).c_str(), L"Keltrove", MB_OK | MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(hWnd, L"Unexpected error", L"Keltrove", MB_OK | MB_ICONERROR);
    }
    return FALSE;
}

// On the watcher's thread: queues the report and returns at once, never waiting for the
// window. A report that cannot be posted (the window is gone) is dropped.
void CMainDlg::PostReport(LinkReport report) {
    const HWND target = g_hDlgWnd;
    if (report.kind == LinkReport::Kind::Notify) {
        ::PostMessageW(target, WM_RX_NOTIFY, report.portTag,
                       static_cast<LPARAM>(report.generation) + 1);
        return;
    }
    auto* posted = new (std::nothrow) LinkReport(std::move(report));
    if (posted != nullptr &&
        !::PostMessageW(target, WM_LINK_REPORT, 0, reinterpret_cast<LPARAM>(posted))) {
        delete posted;
    }
}

std::optional<INT_PTR> CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A result that the dialog manager returns for the window, whoever sent the message.
    const auto result = [this](LONG_PTR value) -> INT_PTR {
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, value);
        return TRUE;
    };
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kReplyTimer) m_Presenter.OnTick(TickTimer::Reply);
            if (wParam == kGapTimer) m_Presenter.OnTick(TickTimer::Gap);
            return TRUE;
        case WM_RX_NOTIFY:
            if (lParam == 0) {
                m_Presenter.OnRxNotify();  // not the watcher's: nothing to clear
            } else {
                m_Presenter.Deliver({LinkReport::Kind::Notify,
                                     static_cast<std::uint16_t>(wParam),
                                     static_cast<unsigned>(lParam - 1),
                                     {}});
            }
            return result(0);
        case WM_RX_FRAME:
            return result(m_Presenter.EvaluateRxFrame() ? 1 : 0);
        case WM_TX_FRAME:
            return result(static_cast<LONG_PTR>(m_Presenter.SendTxFrame()));
        case WM_LINK_REPORT: {
            const std::unique_ptr<LinkReport> report(reinterpret_cast<LinkReport*>(lParam));
            if (report) m_Presenter.Deliver(*report);
            return TRUE;
        }
        case DM_GETDEFID:
            // Enter means IDOK, whichever button had the focus last.
            return result(MAKELONG(IDOK, DC_HASDEFID));
        case WM_PAINT:
            OnPaint();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hIcon);
        case WM_SYSCOMMAND:
            if (m_Activity == Activity::Writing && (wParam & 0xFFF0) == SC_CLOSE) return TRUE;
            if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
            ShowAbout();
            return TRUE;
        case WM_CONTEXTMENU:
            if (m_Activity != Activity::Writing) OnContextMenu(lParam);
            return TRUE;
        case WM_NOTIFY: {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            if (info->hdr.hwndFrom != m_hTooltip || info->hdr.code != TTN_GETDISPINFOW) {
                return FALSE;
            }
            if (const wchar_t* text = m_PortList.TipText(info->hdr.idFrom)) {
                info->lpszText = const_cast<wchar_t*>(text);
            }
            return TRUE;
        }
        case WM_DPICHANGED:
            if (m_ValueFont) {
                UniqueFont font = MakeValueFont(m_hWnd, HIWORD(wParam));
                for (int entry = 1; entry <= kEntryCount; ++entry) {
                    if (m_ValueFields.Has(entry)) {
                        ::SendMessageW(Field(entry), WM_SETFONT,
                                       reinterpret_cast<WPARAM>(font.Get()), TRUE);
                    }
                }
                m_ValueFont = std::move(font);
            }
            return FALSE;  // the dialog manager moves and scales the rest
        case WM_ENDSESSION:
            if (wParam) m_Presenter.Close();  // the process ends without the dialog's end
            return result(0);
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

BOOL CMainDlg::OnInitDialog() {
    SetIcons();
    SetUpSystemMenu();
    m_hTooltip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, m_hInstance, nullptr);
    // A width lets the tooltips break their lines at '\n'.
    ::SendMessageW(m_hTooltip, TTM_SETMAXTIPWIDTH, 0,
                   ::MulDiv(kTipWidth96, static_cast<int>(WindowDpi(m_hWnd)), 96));
    m_StatusLine.Attach(m_hWnd);
    m_PortList.Attach(m_hWnd, ::GetDlgItem(m_hWnd, IDC_PORT_LIST), m_hTooltip);
    SetUpFields();
    m_FrameBrush.Reset(::CreateSolidBrush(kDiffersRed));
    const std::string traceFailed = m_Trace.Open();
    if (m_Trace.IsOn()) m_Presenter.SetTrace(&m_Trace);
    m_Presenter.Start();  // the first refresh: 32 empty fields
    if (!traceFailed.empty()) {
        Ask({traceFailed, "Keltrove runs without the trace.", MessageButtons::Ok, MessageAnswer::Ok,
             BoxIcon::Warning});
    }
    return TRUE;  // the focus goes to the first field
}

void CMainDlg::SetIcons() {
    // Shared icons belong to the system: never destroyed here.
    const auto load = [this](int cx, int cy) {
        return static_cast<HICON>(
            ::LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, cx, cy, LR_SHARED));
    };
    m_hIcon = load(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(
                       load(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON))));
}

void CMainDlg::SetUpSystemMenu() const {
    const HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    const std::wstring about = LoadText(m_hInstance, IDS_ABOUT);
    if (menu == nullptr || about.empty()) return;
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void CMainDlg::SetUpFields() {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const HWND field = Field(entry);
        ::SendMessageW(field, EM_LIMITTEXT, kValueLength, 0);
        ::SetWindowSubclass(field, FieldProc, static_cast<UINT_PTR>(entry),
                            reinterpret_cast<DWORD_PTR>(this));
        std::wstring tip = Widen(FieldTip(entry));
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = m_hWnd;
        info.uId = reinterpret_cast<UINT_PTR>(field);
        info.lpszText = tip.data();
        ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

HWND CMainDlg::Field(int entry) const {
    return ::GetDlgItem(m_hWnd, kEntryIds[Index(entry)]);
}

void CMainDlg::OnCommand(UINT id, UINT code) {
    if (m_Activity == Activity::Writing) return;  // a write takes no input, Escape's included
    switch (id) {
        case IDOK:  // Enter
            OnEnter();
            break;
        case IDCANCEL:  // Escape, the close box, Alt+F4 and the system menu's Close
            End();
            break;
        case IDC_EXIT:
            if (code == BN_CLICKED) End();
            break;
        case IDC_READ:
            if (code == BN_CLICKED) m_Presenter.OnRead();
            break;
        case IDC_WRITE:
            if (code == BN_CLICKED) m_Presenter.OnWrite(GetFieldTexts());
            break;
        case IDC_PORT_LIST:
            if (code == CBN_SELENDOK) m_Presenter.OnSelectPort(m_PortList.Selection());
            if (code == CBN_DROPDOWN) m_PortList.OnDropDown();
            if (code == CBN_SELCHANGE) m_PortList.OnSelChange();
            break;
        default:
            break;
    }
}

// Enter confirms what was typed and never ends the window, which would lose the table: it
// moves on as Tab does. In the port list it confirms the choice.
void CMainDlg::OnEnter() {
    const HWND list = ::GetDlgItem(m_hWnd, IDC_PORT_LIST);
    const HWND focus = ::GetFocus();
    if (focus != nullptr && (focus == list || ::IsChild(list, focus))) {
        m_Presenter.OnSelectPort(m_PortList.Selection());
    } else {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
    }
}

void CMainDlg::End() {
    StopTimers();
    m_Presenter.Close();  // the port closes and its watcher is joined before the window goes
    ::EndDialog(m_hWnd, 0);
}

void CMainDlg::OnDestroy() {
    StopTimers();
    m_Presenter.Close();  // for a window that goes without End
    // The watcher has ended: what it posted and nobody took still owns its report.
    MSG message;
    while (::PeekMessageW(&message, m_hWnd, WM_LINK_REPORT, WM_LINK_REPORT, PM_REMOVE)) {
        if (message.message == WM_LINK_REPORT) {
            delete reinterpret_cast<LinkReport*>(message.lParam);
        }
    }
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
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        if (!m_Differs[Index(entry)]) continue;
        RECT frame = FieldFrame(entry);
        for (int line = 0; line < kFrameWidth; ++line) {
            ::FrameRect(dc.Get(), &frame, m_FrameBrush.Get());
            ::InflateRect(&frame, -1, -1);
        }
    }
    m_StatusLine.Paint(dc.Get());
}

// Just outside the field's own border, in client pixels.
RECT CMainDlg::FieldFrame(int entry) const {
    RECT rect{};
    ::GetWindowRect(Field(entry), &rect);
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    ::InflateRect(&rect, kFrameWidth, kFrameWidth);
    return rect;
}

void CMainDlg::OnContextMenu(LPARAM lParam) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the window's top left
        at = {0, 0};
        ::ClientToScreen(m_hWnd, &at);
    }
    // Stands beside the system menu's about item, for those who look for it here.
    const CPopupMenu menu;
    const UINT table =
        MF_STRING | (m_Presenter.CurrentActivity() == Activity::Idle ? 0 : MF_GRAYED);
    ::AppendMenuW(menu.Get(), table, kCmdSave, L"Save table as...");
    ::AppendMenuW(menu.Get(), table, kCmdLoad, L"Load table...");
    ::AppendMenuW(menu.Get(), table, kCmdCompare, L"Compare with panel");
    ::AppendMenuW(menu.Get(), MF_STRING, kCmdClose, L"Close");
    ::AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu.Get(), MF_STRING, kCmdAbout, LoadText(m_hInstance, IDS_ABOUT).c_str());
    const auto command = static_cast<UINT>(
        ::TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                         m_hWnd, nullptr));
    switch (command) {
        case kCmdSave:
            m_Presenter.OnSave();
            break;
        case kCmdLoad:
            m_Presenter.OnLoad();
            break;
        case kCmdCompare:
            m_Presenter.OnCompare();
            break;
        case kCmdClose:
            End();
            break;
        case kCmdAbout:
            ShowAbout();
            break;
        default:
            break;  // dismissed
    }
}

void CMainDlg::ShowAbout() const {
    ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_ABOUT), m_hWnd, AboutProc, 0);
}

// The fields

LRESULT CALLBACK CMainDlg::FieldProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR entry, DWORD_PTR self) {
    try {
        // A write takes no input: a field neither changes nor starts anything meanwhile.
        const bool writing = reinterpret_cast<CMainDlg*>(self)->m_Activity == Activity::Writing;
        if (writing && ((message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_PASTE ||
                        message == WM_CUT || message == WM_CLEAR || message == WM_UNDO)) {
            return 0;
        }
        switch (message) {
            case WM_CHAR:
                return reinterpret_cast<CMainDlg*>(self)->OnFieldChar(hWnd, static_cast<int>(entry),
                                                                      wParam, lParam);
            case WM_PASTE:
                return reinterpret_cast<CMainDlg*>(self)->OnFieldPaste(hWnd,
                                                                       static_cast<int>(entry));
            case WM_NCDESTROY:
                ::RemoveWindowSubclass(hWnd, FieldProc, entry);
                break;
            default:
                break;
        }
    } catch (const std::exception& error) {
        ::MessageBoxW(g_hDlgWnd, Widen(error.what()).c_str(), L"Keltrove", MB_OK | MB_ICONERROR);
        return 0;
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

// A character a field may not hold is refused and the field says so; control characters
// below U+0020 are the edit control's own keys (Backspace, Ctrl+V and the like). One outside
// the basic plane comes as two halves; both are one refusal.
LRESULT CMainDlg::OnFieldChar(HWND hField, int entry, WPARAM wParam, LPARAM lParam) {
    const auto unit = static_cast<wchar_t>(wParam);
    std::wstring refused;
    if (IS_HIGH_SURROGATE(unit)) {
        m_wPendingHigh = unit;
        return 0;
    }
    if (IS_LOW_SURROGATE(unit) && m_wPendingHigh != 0) {
        refused = {m_wPendingHigh, unit};
    } else if (unit >= 0x20 && !IsFieldCharacter(unit)) {
        refused = {unit};
    }
    m_wPendingHigh = 0;
    if (refused.empty()) return ::DefSubclassProc(hField, WM_CHAR, wParam, lParam);
    m_Presenter.OnRefused(entry, Narrow(refused));
    return 0;
}

LRESULT CMainDlg::OnFieldPaste(HWND hField, int entry) {
    std::wstring clip;
    if (::IsClipboardFormatAvailable(CF_UNICODETEXT) && ::OpenClipboard(hField)) {
        if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
                clip = text;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    const FieldInput input = PasteInput(Narrow(clip));
    // The limit of four applies as to typing.
    const std::wstring kept = Widen(input.kept);
    ::SendMessageW(hField, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
    m_Presenter.OnRefused(entry, input.refused);
    return 0;
}

void CMainDlg::SetFieldTip(int entry, const std::string& text) const {
    std::wstring tip = Widen(text);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(Field(entry));
    info.lpszText = tip.data();
    ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

// IPanelWindow

void CMainDlg::ShowFieldTexts(const FieldTexts& texts) {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const HWND field = Field(entry);
        const std::wstring text = Widen(texts[Index(entry)]);
        if (WindowText(field) != text) ::SetWindowTextW(field, text.c_str());
    }
}

FieldTexts CMainDlg::GetFieldTexts() const {
    FieldTexts texts;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        texts[Index(entry)] = Narrow(WindowText(Field(entry)));
    }
    return texts;
}

void CMainDlg::SetValueFont(int entry) {
    if (!m_ValueFont) m_ValueFont = MakeValueFont(m_hWnd, static_cast<int>(WindowDpi(m_hWnd)));
    m_ValueFields.Add(entry);
    ::SendMessageW(Field(entry), WM_SETFONT, reinterpret_cast<WPARAM>(m_ValueFont.Get()), TRUE);
}

void CMainDlg::MarkField(int entry, FieldMark mark, const std::string& tooltip) {
    const bool differs = mark == FieldMark::Differs;
    if (m_Differs[Index(entry)] != differs) {
        m_Differs[Index(entry)] = differs;
        // The field itself is repainted too: the dialog's painting is not clipped to it.
        const RECT frame = FieldFrame(entry);
        ::RedrawWindow(m_hWnd, &frame, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    SetFieldTip(entry, tooltip);
    // A refusal is news now, not only once the mouse happens to rest on the field.
    const HWND field = Field(entry);
    if (mark == FieldMark::Refused && ::IsWindowVisible(field)) {
        const std::wstring title = Widen(FieldTip(entry));
        const std::wstring text = Widen(tooltip);
        EDITBALLOONTIP balloon{sizeof balloon, title.c_str(), text.c_str(), TTI_WARNING};
        ::SendMessageW(field, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&balloon));
    }
}

void CMainDlg::SetStatusText(const std::string& text) {
    m_StatusLine.Show(text);
}

MessageAnswer CMainDlg::Ask(const PanelBox& box) {
    if (m_Trace.IsOn()) m_Trace.OnBox(box.text);
    return RunMessageBox(g_hDlgWnd, box);
}

void CMainDlg::ShowActivity(Activity activity) {
    const bool wasWriting = m_Activity == Activity::Writing;
    m_Activity = activity;
    // Before the controls take clicks again, so that a click on one goes nowhere.
    if (wasWriting) DropInputSinceBusy();
    for (HWND& control : m_BusyDisabled) {
        if (control != nullptr) ::EnableWindow(control, TRUE);
        control = nullptr;
    }
    // A disabled control loses the focus; it comes back to where it was.
    if (::GetFocus() == nullptr && m_hBusyFocus != nullptr && ::IsWindow(m_hBusyFocus)) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hBusyFocus), TRUE);
    }
    m_hBusyFocus = nullptr;
    if (activity == Activity::Idle) return;
    m_hBusyFocus = ::GetFocus();
    std::size_t disabled = 0;
    const auto disable = [&](int id) {
        const HWND control = ::GetDlgItem(m_hWnd, id);
        if (control == nullptr || !::IsWindowEnabled(control)) return;
        ::EnableWindow(control, FALSE);
        ::UpdateWindow(control);  // now: a write handles no message until it ends
        m_BusyDisabled[disabled++] = control;
    };
    disable(IDC_PORT_LIST);
    if (activity == Activity::Writing) {
        for (const int id : {IDC_READ, IDC_WRITE, IDC_EXIT}) disable(id);
    }
}

// The clicks and keys that reached the window while the write held the thread: a second
// click on Write must not start a second write. The close box's clicks go too.
void CMainDlg::DropInputSinceBusy() const {
    std::vector<HWND> windows{m_hWnd};
    ::EnumChildWindows(
        m_hWnd,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    constexpr std::pair<UINT, UINT> kInput[] = {{WM_KEYFIRST, WM_KEYLAST},
                                                {WM_MOUSEFIRST, WM_MOUSELAST},
                                                {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    MSG message;
    for (const HWND window : windows) {
        for (const auto& [first, last] : kInput) {
            while (::PeekMessageW(&message, window, first, last, PM_REMOVE)) {
            }
        }
    }
}

std::optional<std::string> CMainDlg::ChooseFile(FileChoice choice) {
    return ChooseTableFile(m_hWnd, choice);
}

std::string CMainDlg::LocalTimeText() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// ITickTimers: a running timer keeps its phase.
void CMainDlg::SetTicking(TickTimer timer, bool on) {
    const std::size_t slot = timer == TickTimer::Reply ? 0 : 1;
    const UINT_PTR id = timer == TickTimer::Reply ? kReplyTimer : kGapTimer;
    if (m_hWnd == nullptr) return;
    if (on && !m_bEnded) {
        if (m_Ticking[slot]) return;
        const auto period = timer == TickTimer::Reply ? kReplyTickPeriod : kGapTickPeriod;
        m_Ticking[slot] = ::SetTimer(m_hWnd, id, static_cast<UINT>(period.count()), nullptr) != 0;
    } else if (m_Ticking[slot]) {
        ::KillTimer(m_hWnd, id);
        m_Ticking[slot] = false;
    }
}

void CMainDlg::StopTimers() {
    m_bEnded = true;
    SetTicking(TickTimer::Reply, false);
    SetTicking(TickTimer::Gap, false);
}

// IPause: the write's pauses hold the thread, which the write sequence intends.
void CMainDlg::Pause(std::chrono::milliseconds duration) {
    ::Sleep(static_cast<DWORD>(duration.count()));
}

}  // namespace keltrove
