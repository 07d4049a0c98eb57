#include "FileIo.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "FileTexts.h"
#include "SystemError.h"
#include "UniqueHandle.h"

namespace keltrove {

namespace {

// "COM1", "nul.txt", "\\.\COM3": names that open a device wherever they stand, so that
// even opening one to look at it would change a port's modem lines.
bool IsDeviceName(const std::string& path) {
    if (path.starts_with("\\\\.\\")) return true;
    std::string stem = Narrow(std::filesystem::path(Widen(path)).filename().wstring());
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// The longest part of a target's name that its temporary file's name takes.
constexpr std::size_t kTemporaryStem = 100;

// The volume and the file index of what `path` names, every link followed; none when it
// cannot be opened (or must not be: a device name would open the device).
std::optional<std::pair<DWORD, ULONGLONG>> FileIdentity(const std::string& path) {
    if (IsDeviceName(path)) return std::nullopt;
    // No access asked and every sharing allowed: this disturbs no one who has the file open.
    UniqueHandle file(::CreateFileW(Widen(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.IsValid() || !::GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    return std::pair{info.dwVolumeSerialNumber,
                     (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// `path` made absolute and normal, in one case, since Windows names ignore it.
std::wstring Place(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(Widen(path), error);
    std::filesystem::path place = std::filesystem::weakly_canonical(absolute, error);
    std::wstring text = (error ? absolute.lexically_normal() : place).wstring();
    if (!text.empty()) {
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path) {
    if (IsDeviceName(path)) return {std::nullopt, NotAFileText(path, "a device")};
    // Attributes before the open: "COM1" or "\\.\pipe\x" open a device or a pipe.
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return {std::nullopt, DescribeFileError(path, ::GetLastError())};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {std::nullopt, NotAFileText(path, "a directory")};
    }
    UniqueHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return {std::nullopt, DescribeFileError(path, ::GetLastError())};
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        return {std::nullopt, NotAFileText(path, "a device or a pipe")};
    }
    std::string bytes;
    std::vector<char> chunk(16 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                        nullptr)) {
            return {std::nullopt, DescribeFileError(path, ::GetLastError(), "read")};
        }
        if (got == 0) return {std::move(bytes), {}};
        bytes.append(chunk.data(), got);
        if (bytes.size() > kMaxTableFileBytes) {
            return {std::nullopt, TooLargeText(path)};
        }
    }
}

std::string ReplaceProblem(const std::string& path) {
    if (IsDeviceName(path)) return NotAFileText(path, "a device");
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        // No such folder, a name too long: said of the file, not of its folder.
        return error == ERROR_FILE_NOT_FOUND ? std::string() : DescribeFileError(path, error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return NotAFileText(path, "a directory");
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return path + ": is read-only; clear its read-only attribute, or choose another name";
    }
    return {};
}

std::string SaveAtomically(const std::string& path, std::string_view bytes) {
    if (std::string wrong = ReplaceProblem(path); !wrong.empty()) return wrong;
    const std::filesystem::path target(Widen(path));
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const bool exists = ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    // A name of our own beside the target, on the same volume, so that the swap is one step;
    // the target's name shortened in it, so that it stays within the limit wherever the
    // target's does.
    const std::wstring temporary =
        (folder / (L"." + target.filename().wstring().substr(0, kTemporaryStem) + L"." +
                   std::to_wstring(::GetCurrentProcessId()) + L"." +
                   std::to_wstring(::GetCurrentThreadId()) + L".tmp"))
            .wstring();
    UniqueHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        return DescribeFileError(path, ::GetLastError(),
                                 "cannot make a temporary file in its folder");
    }
    const auto fail = [&](std::string_view what, DWORD error) {
        file.Reset();
        ::DeleteFileW(temporary.c_str());
        return DescribeFileError(path, error, what);
    };
    if (!WriteAll(file.Get(), bytes)) return fail("write", ::GetLastError());
    if (!::FlushFileBuffers(file.Get())) return fail("flush", ::GetLastError());
    file.Reset();
    // ReplaceFileW keeps the old file's attributes and permissions, as the POSIX side keeps
    // its mode; a new file takes the folder's.
    const BOOL swapped =
        exists ? ::ReplaceFileW(Widen(path).c_str(), temporary.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
               : ::MoveFileExW(temporary.c_str(), Widen(path).c_str(), MOVEFILE_WRITE_THROUGH);
    if (!swapped) return fail("cannot put the new file in its place", ::GetLastError());
    return {};
}

bool SameFile(const std::string& one, const std::string& other) {
    const auto first = FileIdentity(one);
    const auto second = FileIdentity(other);
    if (first || second) return first == second;
    const bool firstExists = ::GetFileAttributesW(Widen(one).c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool secondExists = ::GetFileAttributesW(Widen(other).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (firstExists || secondExists) return false;  // something that cannot be opened
    return Place(one) == Place(other);
}

}  // namespace keltrove
