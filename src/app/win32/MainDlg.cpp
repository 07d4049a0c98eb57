#include "MainDlg.h"

#include "resource.h"

namespace keltrove {

HWND g_hDlgWnd = nullptr;

CMainDlg::CMainDlg(HINSTANCE hInstance) noexcept : m_hInstance(hInstance) {}

INT_PTR CMainDlg::DoModal() noexcept {
    return ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CMainDlg::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<CMainDlg*>(lParam);
        self->m_hWnd = hWnd;
        g_hDlgWnd = hWnd;
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CMainDlg*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return self->OnCommand(LOWORD(wParam));
        case WM_NCDESTROY:
            g_hDlgWnd = nullptr;
            self->m_hWnd = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CMainDlg::OnInitDialog() {
    SetIcons();
    AddPortItems();
    return TRUE;  // the focus goes to the first field
}

BOOL CMainDlg::OnCommand(UINT id) {
    switch (id) {
        case IDCANCEL:  // Escape and the close box
        case IDC_EXIT:
            ::EndDialog(m_hWnd, 0);
            return TRUE;
        default:
            return FALSE;  // Enter (IDOK) never ends the window
    }
}

void CMainDlg::SetIcons() const {
    // Shared icons belong to the system: never destroyed here.
    const auto load = [this](int cx, int cy) {
        return reinterpret_cast<LPARAM>(
            ::LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, cx, cy, LR_SHARED));
    };
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG,
                   load(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                   load(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)));
}

void CMainDlg::AddPortItems() const {
    // Unsorted, in this order, with none chosen: the port opens only when the user picks one.
    static constexpr const wchar_t* kItems[] = {L"Disable", L"COM1", L"COM2", L"COM3", L"COM4",
                                                L"COM5",    L"COM6", L"COM7", L"COM8"};
    const HWND hList = ::GetDlgItem(m_hWnd, IDC_PORT_LIST);
    for (const wchar_t* item : kItems) {
        ::SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
}

}  // namespace keltrove
