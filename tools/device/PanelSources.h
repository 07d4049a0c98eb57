// PanelSources: the panels of a bench, from the table names that a panel list or a control
// command gives: "default", "zeros", or a table file, which is read here.
//
// Callable from any thread. Problems come back as text naming the file and the line;
// nothing throws.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "PanelBench.h"

namespace keltrove::device {

struct PanelLoad {
    std::optional<PanelSource> panel;   // set on success
    std::vector<std::string> problems;  // every one found
};

// The panel `name` stands for; a relative file name is taken from `folder` ("" for the
// current folder).
PanelLoad LoadPanel(const std::string& name, const std::string& folder);

struct PanelListLoad {
    std::vector<ListedPanel> panels;    // complete, with their tables, when no problems
    std::vector<std::string> problems;  // the list's own, then its table files'
};

PanelListLoad LoadPanelList(const std::string& path);

}  // namespace keltrove::device
