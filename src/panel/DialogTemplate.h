// DialogTemplate: templates 102 (the main window) and 100 (the about box) as data, from the
// rows of MainTemplate.def and AboutTemplate.def that Keltrove.rc expands too: the one
// description of both windows' layout.
//
// Each template lists its controls in template order, which is their creation order and so
// their tab order. Positions and sizes are dialog units of the dialog font; a window turns
// them into pixels. Texts are UTF-8. Constant data, callable from any thread.
#pragma once

#include <span>
#include <string_view>

#include "resource.h"

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
    int id;  // control ID, or IDC_STATIC for controls that no code addresses
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

inline constexpr std::string_view kCaption = KELTROVE_CAPTION;
inline constexpr std::string_view kDialogFontFace = DIALOG_FONT_FACE;
inline constexpr int kDialogFontPoints = DIALOG_FONT_POINTS;

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

// The control of `id` in `tmpl`; null when it has none.
const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id);
// The control ID of the main window's field of `entry`, 1..32.
int EntryControlId(int entry);

}  // namespace keltrove
