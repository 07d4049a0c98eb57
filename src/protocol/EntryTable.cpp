#include "EntryTable.h"

namespace keltrove {

namespace {
// Entry n's control ID is kControlIds[n - 1].
constexpr std::array<int, kEntryCount> kControlIds{
    1000, 1001, 1002, 1003, 1008, 1009, 1010, 1011,  // first column
    1016, 1017, 1018, 1019, 1024, 1025, 1026, 1027,  // second column
    1032, 1033, 1034, 1035, 1040, 1041, 1042, 1043,  // second, then third column
    1048, 1049, 1050, 1051, 1058, 1059, 1060, 1061,  // third column
};
}  // namespace

int EntryControlId(int entry) {
    return IsEntryNumber(entry) ? kControlIds[static_cast<std::size_t>(entry - 1)] : 0;
}

}  // namespace keltrove
