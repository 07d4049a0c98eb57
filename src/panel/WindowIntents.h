// WindowIntents: what the user can ask of the main window, the right-click menu that offers
// some of it, and the keys that ask for it from anywhere in the window, for both windows.
//
// The buttons, the port list, the menu and the keys each give an intent; the presenter says
// which it allows now (CPanelPresenter::Allows), and a window greys what it does not, and
// drops a key it does not allow. Close and About are the window's own; the rest go to the
// presenter. No key that people press to close a window (Ctrl+W, Ctrl+Q, Ctrl+F4, Alt+F4)
// is a shortcut here: none of them may ever write. Constant data, any thread.
#pragma once

#include <span>
#include <string_view>

namespace keltrove {

enum class Intent { Read, Write, Save, Load, Compare, ChoosePort, Close, About };

struct MenuItem {
    std::string_view text;  // empty: a separator
    Intent intent = Intent::Close;
};

// The right-click menu, top to bottom. The about item stands beside the system menu's, for
// those who look for it here; a Linux window has no system menu a program may extend.
std::span<const MenuItem> ContextMenuItems();

// A key that asks for an intent wherever the focus is in the main window.
struct Shortcut {
    std::string_view text;  // "Ctrl+Shift+W", as the menu, the tooltips and the guides show it
    char32_t key;           // '0' to '9' and 'A' to 'Z' as such, kF1 for F1
    bool shift;             // with Ctrl, unless `key` is kF1, which takes no modifier
    Intent intent;
    int portListItem = -1;  // ChoosePort: the item it chooses
};
inline constexpr char32_t kF1 = 0x1F1;  // no character: F1's own number here

std::span<const Shortcut> Shortcuts();
// The key of `intent` ("Ctrl+S"), or nothing; ChoosePort's are "Ctrl+0" to "Ctrl+8".
std::string_view ShortcutText(Intent intent);

}  // namespace keltrove
