#include "TableFiles.h"

#include "FileIo.h"
#include "TableFile.h"

namespace keltrove {

TableLoad LoadTable(const std::string& path, MissingEntries missing) {
    const FileRead file = ReadRegularFile(path);
    if (!file.bytes) return {std::nullopt, {}, {file.error}};
    TableParse parsed = ParseTableFile(*file.bytes, missing);
    TableLoad load{std::move(parsed.table), parsed.missing, {}};
    for (const TableProblem& problem : parsed.problems) {
        load.problems.push_back(DescribeProblem(path, problem));
    }
    return load;
}

}  // namespace keltrove
