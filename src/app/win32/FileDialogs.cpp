#include "FileDialogs.h"

#include <commdlg.h>

#include <vector>

#include "SystemError.h"

namespace keltrove {

namespace {

// Pairs of a name and a pattern, each ended by a NUL, the list by one more.
constexpr wchar_t kFilter[] = L"Table files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
// Room for a long path (\\?\ and 32767 characters).
constexpr DWORD kPathRoom = 32768;

}  // namespace

std::optional<std::string> ChooseTableFile(HWND owner, FileChoice choice) {
    std::vector<wchar_t> path(kPathRoom, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathRoom;
    dialog.lpstrDefExt = L"txt";
    // The working folder stays where it was, whatever folder the user picks.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    BOOL chosen = FALSE;
    if (choice == FileChoice::Save) {
        dialog.lpstrTitle = L"Save table as";
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        chosen = ::GetSaveFileNameW(&dialog);
    } else {
        dialog.lpstrTitle = L"Load table";
        dialog.Flags |= OFN_FILEMUSTEXIST;
        chosen = ::GetOpenFileNameW(&dialog);
    }
    if (!chosen) return std::nullopt;
    return Narrow(path.data());
}

}  // namespace keltrove
