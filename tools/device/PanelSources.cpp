#include "PanelSources.h"

#include "FileIo.h"
#include "TableFiles.h"

namespace keltrove::device {

PanelLoad LoadPanel(const std::string& name, const std::string& folder) {
    if (const auto table = BuiltInTable(name)) return {PanelSource{name, *table}, {}};
    std::string path = name;
    if (!folder.empty() && !name.starts_with('/')) {
        path = folder + (folder.ends_with('/') ? "" : "/") + name;
    }
    TableLoad load = LoadTable(path);
    if (!load.table) return {std::nullopt, std::move(load.problems)};
    return {PanelSource{name, StoredTable(*load.table)}, {}};
}

PanelListLoad LoadPanelList(const std::string& path) {
    const FileRead file = ReadRegularFile(path);
    if (!file.bytes) return {{}, {file.error}};
    PanelListParse parsed = ParsePanelList(*file.bytes);
    PanelListLoad load;
    for (const TableProblem& problem : parsed.problems) {
        load.problems.push_back(DescribeProblem(path, problem));
    }
    const std::size_t slash = path.find_last_of('/');
    // With its slash, so that a list in / gives "/" rather than "".
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    for (ListedPanel& listed : parsed.panels) {
        if (BuiltInTable(listed.panel.name)) continue;
        PanelLoad panel = LoadPanel(listed.panel.name, folder);
        if (panel.panel) {
            listed.panel = std::move(*panel.panel);
            continue;
        }
        for (std::string& problem : panel.problems) {
            load.problems.push_back(DescribeProblem(path, {listed.line, std::move(problem)}));
        }
    }
    if (load.problems.empty()) load.panels = std::move(parsed.panels);
    return load;
}

}  // namespace keltrove::device
