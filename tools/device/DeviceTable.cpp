#include "DeviceTable.h"

namespace keltrove::device {

DeviceTable DefaultTable() {
    DeviceTable table{};
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        auto& value = table[EntryIndex(entry)];
        value = {'0', '1', static_cast<std::uint8_t>('0' + entry / 10),
                 static_cast<std::uint8_t>('0' + entry % 10)};
    }
    return table;
}

EntryTexts DefaultTableTexts() {
    EntryTexts texts;
    const DeviceTable table = DefaultTable();
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i].assign(table[i].begin(), table[i].end());
    return texts;
}

DeviceTable StoredTable(const EntryTexts& texts) {
    DeviceTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = AlignValue(texts[i]);
    return table;
}

}  // namespace keltrove::device
