// TableFiles: table files on the disk.
//
// LoadTable reads a file through ReadRegularFile and parses it as a table file; its
// messages name the file, and the line for a problem inside it. Callable from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EntryTable.h"
#include "TableFile.h"

namespace keltrove {

struct TableLoad {
    std::optional<EntryTexts> table;    // set on success
    EntrySet missing;                   // what the file leaves out, when that is allowed
    std::vector<std::string> problems;  // "FILE:LINE: message", every one found
};

TableLoad LoadTable(const std::string& path, MissingEntries missing = MissingEntries::Refuse);

}  // namespace keltrove
