#include "TableFiles.h"

#include "FileIo.h"
#include "TableFile.h"

namespace keltrove {

TableLoad LoadTable(const std::string& path) {
    const FileRead file = ReadRegularFile(path, kMaxTableFileBytes);
    if (!file.bytes) return {std::nullopt, {file.error}};
    TableParse parsed = ParseTableFile(*file.bytes);
    TableLoad load{std::move(parsed.table), {}};
    for (const TableProblem& problem : parsed.problems) {
        load.problems.push_back(DescribeProblem(path, problem));
    }
    return load;
}

}  // namespace keltrove
