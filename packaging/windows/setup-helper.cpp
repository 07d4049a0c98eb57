// setup-helper: what the installer and the uninstaller (keltrove.nsi) need of Windows beyond
// what NSIS does well. They run it hidden from their plug-ins folder with nsExec:
//
//   setup-helper running <program>...   which of these programs (full paths) run now, in any
//                                       session, as any user
//   setup-helper path-add <folder>      the folder at the end of the system PATH, unless it is
//                                       on it already in any spelling
//   setup-helper path-remove <folder>   the folder off the system PATH, wherever and however
//                                       often it stands
//
// The system PATH is read and written whole, whatever its length (an NSIS string holds 1,024
// characters), and written as REG_EXPAND_SZ; every item but the folder stays as it was. Two
// spellings name the same folder when they do once quotes, %variables%, "." and "..", "/",
// 8.3 names, the case and trailing backslashes are set aside. It prints what it did, or why
// it could not, as lines on standard output and exits with one of ExitCode, which the
// installer passes on as its own exit code.
// psapi.h needs windows.h before it.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "UniqueHandle.h"

namespace {

using keltrove::UniqueHandle;

// keltrove.nsi reads kExitRunning and kExitPathUnchanged from here; 2 means "stopped" to
// NSIS too.
enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 2,         // a wrong command line, or the programs could not be listed
    kExitRunning = 3,        // a program asked about runs
    kExitPathUnchanged = 4,  // the system PATH could not be read or written
};

constexpr wchar_t kEnvironmentKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::wstring_view kSystemPath =
    L"the system PATH (HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment, "
    L"Path)";

// One line for nsExec, which reads the output in the ANSI code page.
void Say(std::wstring_view line) {
    std::wstring text(line);
    text += L"\r\n";
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                          nullptr, nullptr);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
                &written, nullptr);
}

// The system's words for `error`, without the ".\r\n" they end in.
std::wstring SystemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' ||
                             text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) text = L"error " + std::to_wstring(error);
    return text;
}

// The text a Win32 call writes into a buffer it cannot size ahead: `call(buffer, size)`
// returns the length written, or the size it needs when `size` is too small; 0 on failure,
// which gives an empty text.
template <typename Call>
std::wstring Sized(Call call) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        const bool fits = length < buffer.size();
        buffer.resize(length);
        if (fits) return buffer;
    }
}

std::wstring_view Trimmed(std::wstring_view text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\..." or "\\server\...": a relative item names a different folder from every folder it
// is run in, so it is never taken for the one asked about.
bool IsAbsolute(std::wstring_view path) {
    const bool drive =
        path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]) &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    return drive || (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

// The one spelling of a folder or a file that two spellings of it share; empty for a relative
// or empty one.
std::wstring Canonical(std::wstring_view spelling) {
    std::wstring text(Trimmed(spelling));
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        text = text.substr(1, text.size() - 2);
    }
    // ExpandEnvironmentStrings counts the ending zero, which Sized does not.
    std::wstring expanded = Sized([&](wchar_t* buffer, DWORD size) {
        const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), buffer, size);
        return needed != 0 && needed <= size ? needed - 1 : needed;
    });
    if (expanded.empty()) expanded = text;
    if (!IsAbsolute(expanded)) return {};
    std::wstring full = Sized([&](wchar_t* buffer, DWORD size) {
        return ::GetFullPathNameW(expanded.c_str(), size, buffer, nullptr);
    });
    // The long form of 8.3 names; only a folder that exists has one.
    std::wstring longer = Sized([&](wchar_t* buffer, DWORD size) {
        return ::GetLongPathNameW(full.c_str(), buffer, size);
    });
    std::wstring result = longer.empty() ? full : longer;
    while (result.size() > 3 && result.back() == L'\\') result.pop_back();
    return result;
}

bool SameCanonical(std::wstring_view a, std::wstring_view b) {
    return !a.empty() && ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

int Running(const std::vector<std::wstring>& programs) {
    std::vector<std::wstring> wanted;
    for (const auto& program : programs) {
        wanted.push_back(Canonical(program));
        if (wanted.back().empty()) {
            Say(L"setup-helper running: \"" + program + L"\" is not a full path");
            return kExitFailed;
        }
    }
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        const auto capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!::EnumProcesses(ids.data(), capacity, &bytes)) {
            Say(L"The running programs cannot be listed: " + SystemMessage(::GetLastError()));
            return kExitFailed;
        }
        if (bytes < capacity) break;  // a full list may have been cut short
        ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));

    bool found = false;
    for (const DWORD id : ids) {
        // The system's own processes, and those that ended meanwhile, cannot be opened; none
        // of them is a program of ours.
        const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (!process.IsValid()) continue;
        std::wstring image(32768, L'\0');
        auto size = static_cast<DWORD>(image.size());
        if (!::QueryFullProcessImageNameW(process.Get(), 0, image.data(), &size)) continue;
        image.resize(size);
        const std::wstring canonical = Canonical(image);
        for (const auto& program : wanted) {
            if (SameCanonical(canonical, program)) {
                Say(image + L" is running (process " + std::to_wstring(id) + L").");
                found = true;
            }
        }
    }
    return found ? kExitRunning : kExitDone;
}

// One owner for a registry key.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (m_Key != nullptr) ::RegCloseKey(m_Key);
    }
    HKEY* Out() { return &m_Key; }
    HKEY Get() const { return m_Key; }

private:
    HKEY m_Key = nullptr;
};

// The items of a PATH, as written, empty ones included: "a;;b;" is a, "", b, "".
std::vector<std::wstring> Items(std::wstring_view path) {
    std::vector<std::wstring> items;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(L';', start);
        items.emplace_back(path.substr(start, end - start));
        if (end == std::wstring_view::npos) return items;
        start = end + 1;
    }
}

// The system PATH, edited by `change` (which returns false to leave it as it is), written back
// and announced to running programs.
template <typename Change>
int EditSystemPath(Change change) {
    RegistryKey key;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0,
                                     KEY_QUERY_VALUE | KEY_SET_VALUE, key.Out());
    if (status != ERROR_SUCCESS) {
        Say(std::wstring(kSystemPath) + L" cannot be opened: " + SystemMessage(status));
        return kExitPathUnchanged;
    }
    std::wstring path;
    DWORD type = REG_EXPAND_SZ;
    for (;;) {
        auto bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
        status = ::RegQueryValueExW(key.Get(), L"Path", nullptr, &type,
                                    reinterpret_cast<BYTE*>(path.data()), &bytes);
        if (status == ERROR_FILE_NOT_FOUND) {  // no PATH: an empty list
            path.clear();
            type = REG_EXPAND_SZ;
            break;
        }
        if (status == ERROR_SUCCESS && bytes <= path.size() * sizeof(wchar_t)) {
            path.resize(bytes / sizeof(wchar_t));
            break;
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
            Say(std::wstring(kSystemPath) + L" cannot be read: " + SystemMessage(status));
            return kExitPathUnchanged;
        }
        path.resize(bytes / sizeof(wchar_t) + 1);  // it may have grown meanwhile
    }
    if (type != REG_EXPAND_SZ && type != REG_SZ) {
        Say(std::wstring(kSystemPath) + L" is not text (registry type " + std::to_wstring(type) +
            L").");
        return kExitPathUnchanged;
    }
    while (!path.empty() && path.back() == L'\0') path.pop_back();

    if (!change(path)) return kExitDone;
    status = ::RegSetValueExW(key.Get(), L"Path", 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(path.c_str()),
                              static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        Say(std::wstring(kSystemPath) + L" cannot be written: " + SystemMessage(status));
        return kExitPathUnchanged;
    }
    // Explorer, and what it starts from now on, reads the new PATH. A program that does not
    // answer within 5 seconds is passed over.
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                          reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                          nullptr);
    return kExitDone;
}

int PathAdd(std::wstring folder) {
    const std::wstring canonical = Canonical(folder);
    if (canonical.empty()) {
        Say(L"setup-helper path-add: \"" + folder + L"\" is not a full path");
        return kExitFailed;
    }
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return EditSystemPath([&](std::wstring& path) {
        for (const auto& item : Items(path)) {
            if (SameCanonical(Canonical(item), canonical)) {
                Say(folder + L" is on the system PATH already.");
                return false;
            }
        }
        // After a PATH that ends in ";" the folder ends in one too, so that taking it off
        // again gives back the PATH as it was.
        if (path.empty()) {
            path = folder;
        } else if (path.back() == L';') {
            path += folder + L";";
        } else {
            path += L";" + folder;
        }
        Say(L"Added " + folder + L" to the system PATH.");
        return true;
    });
}

int PathRemove(const std::wstring& folder) {
    const std::wstring canonical = Canonical(folder);
    if (canonical.empty()) {
        Say(L"setup-helper path-remove: \"" + folder + L"\" is not a full path");
        return kExitFailed;
    }
    return EditSystemPath([&](std::wstring& path) {
        std::wstring kept;
        bool first = true;
        int removed = 0;
        for (const auto& item : Items(path)) {
            if (SameCanonical(Canonical(item), canonical)) {
                ++removed;
                continue;
            }
            if (!first) kept += L';';
            kept += item;
            first = false;
        }
        if (removed == 0) {
            Say(folder + L" is not on the system PATH.");
            return false;
        }
        path = std::move(kept);
        Say(L"Took " + folder + L" off the system PATH.");
        return true;
    });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == L"running") {
        return Running(std::vector<std::wstring>(args.begin() + 1, args.end()));
    }
    if (args.size() == 2 && args[0] == L"path-add") return PathAdd(args[1]);
    if (args.size() == 2 && args[0] == L"path-remove") return PathRemove(args[1]);
    Say(L"usage: setup-helper running <program>... | path-add <folder> | path-remove <folder>");
    return kExitFailed;
}
