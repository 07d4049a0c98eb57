#include "DialogTemplate.h"

#include <array>

#include "Version.h"

namespace keltrove {

namespace {

constexpr ControlTemplate Entry(int entry, int id, int x, int y) {
    return {ControlKind::EntryField, id, {}, {x, y, 34, 13}, entry, true};
}

constexpr ControlTemplate GroupBox(std::string_view text, DluRect rect) {
    return {ControlKind::GroupBox, kNoControlId, text, rect};
}

// Template 102. The entries are not in number order: the template order is the tab order.
constexpr std::array<ControlTemplate, 42> kMainControls{{
    Entry(28, 1051, 272, 233),
    Entry(27, 1050, 272, 215),
    Entry(26, 1049, 272, 197),
    Entry(25, 1048, 272, 179),
    Entry(16, 1027, 181, 232),
    Entry(15, 1026, 181, 215),
    Entry(14, 1025, 181, 197),
    Entry(13, 1024, 181, 179),
    Entry(20, 1035, 181, 319),
    Entry(19, 1034, 181, 301),
    Entry(18, 1033, 181, 283),
    Entry(17, 1032, 181, 265),
    Entry(24, 1043, 272, 143),
    Entry(23, 1042, 272, 124),
    Entry(22, 1041, 272, 105),
    Entry(21, 1040, 272, 87),
    Entry(4, 1003, 85, 231),
    Entry(3, 1002, 85, 213),
    Entry(2, 1001, 85, 196),
    Entry(1, 1000, 85, 179),
    Entry(8, 1011, 85, 319),
    Entry(7, 1010, 85, 302),
    Entry(6, 1009, 85, 284),
    Entry(5, 1008, 85, 265),
    Entry(12, 1019, 181, 142),
    Entry(11, 1018, 181, 123),
    Entry(10, 1017, 181, 105),
    Entry(9, 1016, 181, 87),
    Entry(30, 1059, 272, 283),
    Entry(29, 1058, 272, 265),
    {ControlKind::PortList, kIdPortList, {}, {483, 43, 47, 104}},  // height includes the list
    {ControlKind::PushButton, kIdRead, "Read", {392, 44, 48, 22}},
    {ControlKind::PushButton, kIdWrite, "Write", {392, 76, 48, 22}},
    {ControlKind::Label, kNoControlId, "Select Port", {485, 28, 39, 10}},
    GroupBox("KV/T-xPA", {66, 41, 72, 308}),
    GroupBox("KV-xPE", {163, 41, 72, 308}),
    GroupBox("KV-xPE", {255, 41, 72, 308}),
    {ControlKind::PushButton, kIdExit, "Exit", {392, 117, 48, 23}},
    Entry(31, 1060, 272, 301),
    Entry(32, 1061, 272, 319),
    GroupBox("KVT-xPA", {13, 209, 115, 125}),
    GroupBox("KV-xPA", {45, 173, 82, 162}),
}};

constexpr DialogTemplate kMainTemplate{"Keltrove", 557, 385, kMainControls};

// Template 100.
constexpr std::array<ControlTemplate, 4> kAboutControls{{
    {ControlKind::Icon, kNoControlId, {}, {11, 17, 20, 20}},
    {ControlKind::Label,
     kNoControlId,
     "Keltrove 버전 " KELTROVE_VERSION_SHORT_TEXT,
     {40, 10, 119, 8}},
    {ControlKind::Label, kNoControlId, "DERID 패널 설정 도구", {40, 25, 119, 8}},
    {ControlKind::PushButton, kIdOk, "확인", {178, 7, 50, 14}, 0, true, true},
}};

constexpr DialogTemplate kAboutTemplate{"Keltrove 정보", 235, 55, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainTemplate;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutTemplate;
}

}  // namespace keltrove
