// AccessibleNames: what a screen reader calls the main window's parts, set through
// IAccPropServices, which leaves the template as it is: "Entry 1" to "Entry 32" for the
// fields, "Select Port" for the port list, and the status line's text as the window's
// description, which changes with it. Where the system has no such service (some Wine
// versions), the parts keep the names the system gives them. GUI thread only; COM must be
// initialised on it.
#pragma once

#include <windows.h>

#include <string>

struct IAccPropServices;

namespace keltrove {

class CAccessibleNames {
public:
    CAccessibleNames() = default;
    CAccessibleNames(const CAccessibleNames&) = delete;
    CAccessibleNames& operator=(const CAccessibleNames&) = delete;
    ~CAccessibleNames();

    void Attach(HWND dialog);
    void SetStatus(const std::string& text);

private:
    void Name(HWND control, const std::string& name) const;

    HWND m_hDialog = nullptr;
    IAccPropServices* m_pProps = nullptr;
};

}  // namespace keltrove
