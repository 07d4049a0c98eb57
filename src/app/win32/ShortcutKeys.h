// ShortcutKeys: the main window's keys (Shortcuts, WindowIntents.h), wherever the focus is
// in it.
//
// A modal dialog's own loop knows no accelerators, so a message hook of this thread turns
// each key into the window's WM_COMMAND with ID CommandOf(shortcut) before the dialog
// manager sees it: only for messages to the main window and its controls, so that a key in
// a box over it stays the box's. GUI thread only.
#pragma once

#include <windows.h>

#include <optional>

#include "WindowIntents.h"

namespace keltrove {

class CShortcutKeys {
public:
    CShortcutKeys() = default;
    CShortcutKeys(const CShortcutKeys&) = delete;
    CShortcutKeys& operator=(const CShortcutKeys&) = delete;
    ~CShortcutKeys();

    void Attach(HWND dialog);
    // The shortcut a WM_COMMAND ID stands for; nothing for another ID.
    static std::optional<Shortcut> ShortcutOf(UINT id);

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

    HACCEL m_hAccel = nullptr;
    HHOOK m_hHook = nullptr;
};

}  // namespace keltrove
