// DeviceTable: the simulated device's 32 stored values.
//
// A value is kept as the four bytes the device reports. A table file's values go through
// the same right-alignment the program applies before it writes, so "12" is stored as
// "0012". Pure functions, callable from any thread.
#pragma once

#include <array>

#include "EntryTable.h"
#include "Frame.h"

namespace keltrove::device {

using StoredValue = FrameValue;
using DeviceTable = std::array<StoredValue, kEntryCount>;  // index 0 is entry 1

// 0101, 0102, ..., 0132: every value names its entry, so a value shown in the wrong field,
// or a field left over from an earlier read, stands out.
DeviceTable DefaultTable();

// The same table as the program's entry texts, as a read of the device brings them.
EntryTexts DefaultTableTexts();

// What a write of `texts` would leave in the device.
DeviceTable StoredTable(const EntryTexts& texts);

}  // namespace keltrove::device
