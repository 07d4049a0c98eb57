// Keltrove for Windows: the main dialog until it ends.

// commctrl.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "MainDlg.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    // Version 6 of the common controls (the manifest asks for it) registers its classes here.
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    keltrove::CMainDlg dialog(hInstance);
    const INT_PTR result = dialog.DoModal();
    return result == -1 ? 1 : static_cast<int>(result);
}
