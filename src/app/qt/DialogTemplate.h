// DialogTemplate: the layouts of the main window (template 102) and the about box
// (template 100), as data.
//
// Each template lists its controls in template order, which is their creation order and
// so their tab order. Positions and sizes are dialog units of the dialog font; CDialogUnits
// turns them into pixels. Texts are UTF-8. Constant data, callable from any thread.
#pragma once

#include <span>
#include <string_view>

namespace keltrove {

enum class ControlKind { EntryField, PortList, PushButton, Label, GroupBox, Icon };

// A rectangle in dialog units.
struct DluRect {
    int x;
    int y;
    int cx;
    int cy;
};

struct ControlTemplate {
    ControlKind kind;
    int id;  // control ID, or kNoControlId for controls that no code addresses
    std::string_view text;
    DluRect rect;
    int entry = 0;           // entry number 1..32 of an entry field, else 0
    bool tabStop = false;    // reached with Tab
    bool isDefault = false;  // the button that Enter presses
};

struct DialogTemplate {
    std::string_view caption;
    int cx;  // client size in dialog units
    int cy;
    std::span<const ControlTemplate> controls;
};

inline constexpr int kNoControlId = -1;
inline constexpr int kIdOk = 1;
inline constexpr int kIdPortList = 1065;
inline constexpr int kIdRead = 1066;
inline constexpr int kIdWrite = 1067;
inline constexpr int kIdExit = 1069;

// The dialog font: 9 points, "굴림".
inline constexpr std::string_view kDialogFontFace = "굴림";
inline constexpr int kDialogFontPoints = 9;

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

}  // namespace keltrove
