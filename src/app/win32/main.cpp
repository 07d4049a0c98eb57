// Keltrove for Windows: the main dialog until it ends.

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "MainDlg.h"
#include "SystemError.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    // Version 6 of the common controls (the manifest asks for it) registers its classes
    // here, the tooltips' among them.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    // The file dialogs stand on the shell, which wants a single-threaded apartment.
    const HRESULT com =
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INT_PTR result = 0;
    DWORD error = ERROR_SUCCESS;
    {
        keltrove::CMainDlg dialog(hInstance);
        result = dialog.DoModal();
        if (result == -1) error = ::GetLastError();
    }
    if (result == -1) {
        // Without a word the program would seem never to have started.
        const std::wstring text = keltrove::Widen(
            "Keltrove could not open its window: " + keltrove::SystemMessage(error) +
            ".\n\nStart it again; should it fail again, restart Windows or reinstall Keltrove.");
        ::MessageBoxW(nullptr, text.c_str(), L"Keltrove", MB_OK | MB_ICONERROR);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    return result == -1 ? 1 : 0;
}
