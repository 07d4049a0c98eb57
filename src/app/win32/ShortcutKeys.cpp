#include "ShortcutKeys.h"

#include <vector>

namespace keltrove {

namespace {

// The commands of the keys: the index of the shortcut, from here on; far above the
// template's control IDs.
constexpr UINT kFirstShortcut = 0x7000;

// One window a thread: the hook finds it here.
thread_local HWND t_hDialog = nullptr;
thread_local HACCEL t_hAccel = nullptr;

}  // namespace

CShortcutKeys::~CShortcutKeys() {
    if (m_hHook != nullptr) ::UnhookWindowsHookEx(m_hHook);
    if (m_hAccel != nullptr) ::DestroyAcceleratorTable(m_hAccel);
    t_hDialog = nullptr;
    t_hAccel = nullptr;
}

void CShortcutKeys::Attach(HWND dialog) {
    std::vector<ACCEL> keys;
    for (const Shortcut& shortcut : Shortcuts()) {
        const auto command = static_cast<WORD>(kFirstShortcut + keys.size());
        if (shortcut.key == kF1) {
            keys.push_back({FVIRTKEY, VK_F1, command});
        } else {
            // Virtual keys of digits and letters are their capitals' codes.
            const BYTE modifiers = FVIRTKEY | FCONTROL | (shortcut.shift ? FSHIFT : 0);
            keys.push_back({modifiers, static_cast<WORD>(shortcut.key), command});
        }
    }
    m_hAccel = ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
    m_hHook = ::SetWindowsHookExW(WH_MSGFILTER, Hook, nullptr, ::GetCurrentThreadId());
    t_hDialog = dialog;
    t_hAccel = m_hAccel;
}

std::optional<Shortcut> CShortcutKeys::ShortcutOf(UINT id) {
    const std::span<const Shortcut> shortcuts = Shortcuts();
    if (id < kFirstShortcut || id - kFirstShortcut >= shortcuts.size()) return std::nullopt;
    return shortcuts[id - kFirstShortcut];
}

LRESULT CALLBACK CShortcutKeys::Hook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && t_hDialog != nullptr && t_hAccel != nullptr &&
        (message->hwnd == t_hDialog || ::IsChild(t_hDialog, message->hwnd)) &&
        ::TranslateAcceleratorW(t_hDialog, t_hAccel, message)) {
        return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace keltrove
