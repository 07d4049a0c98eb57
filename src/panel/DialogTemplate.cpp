#include "DialogTemplate.h"

#include "Version.h"

namespace keltrove {

namespace {

// Template 102. The entries are not in number order: the template order is the tab order.
#define MAIN_ENTRY(entry, id, x, y, cx, cy) \
    {ControlKind::EntryField, id, {}, {x, y, cx, cy}, entry, true, false},
#define MAIN_PORT_LIST(id, x, y, cx, cy) \
    {ControlKind::PortList, id, {}, {x, y, cx, cy}, 0, false, false},
#define MAIN_BUTTON(text, id, x, y, cx, cy) \
    {ControlKind::PushButton, id, text, {x, y, cx, cy}, 0, false, false},
#define MAIN_LABEL(text, x, y, cx, cy) \
    {ControlKind::Label, IDC_STATIC, text, {x, y, cx, cy}, 0, false, false},
#define MAIN_GROUP_BOX(text, x, y, cx, cy) \
    {ControlKind::GroupBox, IDC_STATIC, text, {x, y, cx, cy}, 0, false, false},
constexpr ControlTemplate kMainControls[] = {
#include "MainTemplate.def"
};
#undef MAIN_ENTRY
#undef MAIN_PORT_LIST
#undef MAIN_BUTTON
#undef MAIN_LABEL
#undef MAIN_GROUP_BOX

// Template 100.
#define ABOUT_ICON(icon, x, y, cx, cy) \
    {ControlKind::Icon, IDC_STATIC, {}, {x, y, cx, cy}, 0, false, false},
#define ABOUT_TITLE(text, x, y, cx, cy) \
    {ControlKind::Label, IDC_STATIC, text, {x, y, cx, cy}, 0, false, false},
#define ABOUT_LINE(text, x, y, cx, cy) \
    {ControlKind::Label, IDC_STATIC, text, {x, y, cx, cy}, 0, false, false},
#define ABOUT_OK(text, id, x, y, cx, cy) \
    {ControlKind::PushButton, id, text, {x, y, cx, cy}, 0, true, true},
constexpr ControlTemplate kAboutControls[] = {
#include "AboutTemplate.def"
};
#undef ABOUT_ICON
#undef ABOUT_TITLE
#undef ABOUT_LINE
#undef ABOUT_OK

constexpr DialogTemplate kMainTemplate{kCaption, MAIN_CX, MAIN_CY, kMainControls};
constexpr DialogTemplate kAboutTemplate{ABOUT_CAPTION, ABOUT_CX, ABOUT_CY, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainTemplate;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutTemplate;
}

const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id) {
    for (const ControlTemplate& control : tmpl.controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

int EntryControlId(int entry) {
    for (const ControlTemplate& control : kMainControls) {
        if (control.entry == entry) return control.id;
    }
    return IDC_STATIC;
}

}  // namespace keltrove
