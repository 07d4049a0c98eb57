// TableFile: the text file that holds a panel's table, for the window, keltrove-cli and
// the simulator alike.
//
// UTF-8 text that a person can edit (a byte-order mark at the start is allowed, as some
// Windows editors write one; so are CRLF line ends):
//
//   # Keltrove table
//   # read from COM1 (/dev/ttyUSB0) at 2026-12-07 14:03:27
//   1 0101
//   2 12
//
// Lines starting with '#' are comments, and empty lines are allowed. A table line is the
// entry number 1 to 32, one blank, then the value exactly as it stands: 0 to 4 Latin-1
// characters, inner and trailing blanks included ("2" alone, or "2 " with nothing behind
// it, is an empty value). Values go to the panel as the window sends a field: right-
// aligned, filled with "0" on the left, so "12" is written as 0012 and a value of blanks
// only as 0000. A backslash starts an escape: "\\" is a backslash and "\xHH" any byte, for
// the control bytes a panel may hold; the writer escapes those, a backslash, and nothing
// else. A file holds each of the 32 entries at most once, in any order. A file that leaves
// some out (a table saved after a failed read leaves out what was not read, and says so in
// a comment) is whole only for a reader that allows it; a write needs all 32.
//
// Files in UTF-16, and files with NUL bytes, are refused in one line: they are not text of
// this format, and a line per byte would tell nothing.
//
// Pure functions, no I/O; callable from any thread. A bad file gives every problem found,
// each with its line number (0 for the file as a whole); nothing throws.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "EntryTable.h"

namespace keltrove {

// Far more than 32 short lines need; anything larger is not a table.
inline constexpr std::size_t kMaxTableFileBytes = 64 * 1024;
// What is said of a larger file: "larger than 64 KiB, so it is not a table file".
std::string TooLargeForATable();

struct TableProblem {
    int line = 0;
    std::string message;  // control bytes of the file escaped, safe to print
};

struct TableParse {
    std::optional<EntryTexts> table;  // set when there are no problems
    EntrySet missing;                 // entries the file leaves out; empty in `table`
    std::vector<TableProblem> problems;
};

enum class MissingEntries { Refuse, Allow };

TableParse ParseTableFile(std::string_view text, MissingEntries missing = MissingEntries::Refuse);

// The file for `table`: a first comment line, a comment for each of `notes`, then the 32
// entries in order, less the `omitted` ones, which a comment names.
std::string FormatTableFile(const EntryTexts& table, std::span<const std::string> notes = {},
                            const EntrySet& omitted = {});

// A value for a person or for JSON: Latin-1 to UTF-8, control bytes as \xHH.
std::string DisplayValue(std::string_view bytes);

// "FILE:LINE: message", or "FILE: message" for line 0.
std::string DescribeProblem(std::string_view file, const TableProblem& problem);

// `bytes` with every control byte, and every byte that is not printable ASCII, as \xHH,
// so that a message quoting a file cannot drive the user's terminal.
std::string EscapeForMessage(std::string_view bytes);

}  // namespace keltrove
