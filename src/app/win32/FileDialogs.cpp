#include "FileDialogs.h"

#include <commdlg.h>

#include <vector>

#include "SystemError.h"
#include "WindowTexts.h"

namespace keltrove {

namespace {

// Room for a long path (\\?\ and 32767 characters).
constexpr DWORD kPathRoom = 32768;

// Pairs of a name and a pattern, each ended by a NUL, the list by one more.
std::wstring FilterList(const FileDialogText& text) {
    std::wstring list;
    for (const auto& [name, pattern] : text.filters) {
        list += Widen(std::string(name) + " (" + std::string(pattern) + ")");
        list += L'\0';
        list += Widen(pattern);
        list += L'\0';
    }
    return list;
}

}  // namespace

std::optional<std::string> ChooseTableFile(HWND owner, FileChoice choice) {
    const FileDialogText text = FileDialogFor(choice);
    const std::wstring filters = FilterList(text);
    const std::wstring title = Widen(text.title);
    const std::wstring suffix = Widen(text.defaultSuffix);
    std::vector<wchar_t> path(kPathRoom, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathRoom;
    dialog.lpstrDefExt = suffix.c_str();
    dialog.lpstrTitle = title.c_str();
    // The working folder stays where it was, whatever folder the user picks.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    BOOL chosen = FALSE;
    if (choice == FileChoice::Save) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        chosen = ::GetSaveFileNameW(&dialog);
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST;
        chosen = ::GetOpenFileNameW(&dialog);
    }
    if (!chosen) return std::nullopt;
    return Narrow(path.data());
}

}  // namespace keltrove
