// Prints what a screen reader is told of the running Keltrove window's fields and port
// list: for each, "<control ID> <name>", the name as get_accName gives it ("-" for none).
// Run by windows_window_tests under Wine; exits 1 when there is no such window.
// clang-format off
#include <initguid.h>
#include <windows.h>
#include <oleacc.h>
// clang-format on

#include <cstdio>

#include "DialogTemplate.h"

int wmain() {
    ::CoInitialize(nullptr);
    const HWND dialog = ::FindWindowW(L"#32770", L"" KELTROVE_CAPTION);
    if (dialog == nullptr) return 1;
    for (const keltrove::ControlTemplate& control : keltrove::MainDialogTemplate().controls) {
        if (control.entry == 0 && control.id != IDC_PORT_LIST) continue;
        IAccessible* accessible = nullptr;
        if (FAILED(::AccessibleObjectFromWindow(::GetDlgItem(dialog, control.id), OBJID_CLIENT,
                                                IID_IAccessible,
                                                reinterpret_cast<void**>(&accessible)))) {
            std::printf("%d ?\n", control.id);
            continue;
        }
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        const bool named = accessible->get_accName(self, &name) == S_OK && name != nullptr;
        std::printf("%d %ls\n", control.id, named ? name : L"-");
        ::SysFreeString(name);
        accessible->Release();
    }
    ::CoUninitialize();
    return 0;
}
