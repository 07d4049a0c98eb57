// WindowIntents: what the user can ask of the main window, and the right-click menu that
// offers some of it, for both windows.
//
// The buttons, the port list and the menu each give an intent; the presenter says which
// it allows now (CPanelPresenter::Allows), and a window greys what it does not. Close and
// About are the window's own; the rest go to the presenter. Constant data, any thread.
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

}  // namespace keltrove
