// DeviceTable: the simulated device's 32 stored values, and the table file that loads them.
//
// A value is kept as the four bytes the device reports. A file's value goes through the
// same right-alignment the program applies before it writes, so "12" is stored as "0012".
// The file holds 32 lines, one value of 1 to 4 printable ASCII characters each; empty lines
// at its end are allowed. Pure functions, callable from any thread. A bad file is reported
// as a TableError with the line number (0: the file as a whole); nothing here throws.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "EntryTable.h"
#include "Frame.h"

namespace keltrove::device {

using StoredValue = FrameValue;
using DeviceTable = std::array<StoredValue, kEntryCount>;  // index 0 is entry 1

// 0101, 0102, ..., 0132: every value names its entry, so a value shown in the wrong field,
// or a field left over from an earlier read, stands out.
DeviceTable DefaultTable();

struct TableError {
    int line = 0;
    std::string message;
};

struct TableParse {
    std::optional<DeviceTable> table;  // set on success
    TableError error;                  // meaningful when table is empty
};

// Parses the contents of a table file.
TableParse ParseTable(std::string_view text);

// Reads and parses `path`. A file that cannot be read is an error at line 0 with the
// system's reason.
TableParse LoadTableFile(const std::string& path);

// "FILE:LINE: message", or "FILE: message" for line 0.
std::string FormatTableError(const std::string& path, const TableError& error);

}  // namespace keltrove::device
