// PanelWindow: IPanelWindow, what CPanelPresenter asks of the program's window, whatever
// toolkit draws it.
//
// The window owns its controls and passes the user's intents to the presenter; the
// presenter decides what they show. Texts are UTF-8 and stand as given (plain text, never
// markup). Every call is made on the window's thread.
#pragma once

#include <optional>
#include <string>

#include "FieldText.h"
#include "Interfaces.h"

namespace keltrove {

enum class BoxIcon { None, Information, Warning };

// A modal box with the program's name as its caption.
struct PanelBox {
    std::string text;    // the first line
    std::string detail;  // the second: what happened and what to do; empty for none
    MessageButtons buttons = MessageButtons::Ok;
    // What Enter gives in a Yes/No box; Escape and the close box always give No.
    MessageAnswer defaultAnswer = MessageAnswer::Yes;
    BoxIcon icon = BoxIcon::None;
};

// How a field is marked: not at all, as differing from the panel (a red frame), or as
// having refused a character (its tooltip should catch the eye now).
enum class FieldMark { None, Differs, Refused };

enum class FileChoice { Save, Load };

// What the window lets the user do. Idle: everything. Reading: all but choosing a port and
// the table commands (Save, Load, Compare), which would act behind the read's back. Writing
// (the frames, then the read-back): nothing but closing the window; the buttons and the
// port list are disabled, and the input that reached the window while the write held its
// thread is dropped when the write ends, not replayed.
enum class Activity { Idle, Reading, Writing };

class IPanelWindow {
public:
    virtual ~IPanelWindow() = default;

    // Each field shows its text; a field that already shows it is left alone, so that the
    // cursor of one being typed in stays where it is.
    virtual void ShowFieldTexts(const FieldTexts& texts) = 0;
    virtual FieldTexts GetFieldTexts() const = 0;
    // The field shows its text in the larger value font from now on.
    virtual void SetValueFont(int entry) = 0;
    virtual void MarkField(int entry, FieldMark mark, const std::string& tooltip) = 0;
    // Drawn at once, even while the thread is busy writing.
    virtual void SetStatusText(const std::string& text) = 0;
    // Runs until answered, and may handle the window's events meanwhile (a nested loop), so
    // the presenter can be re-entered. A box closed without an answer gives No, or OK.
    virtual MessageAnswer Ask(const PanelBox& box) = 0;
    // Called whenever the activity changes; see Activity.
    virtual void ShowActivity(Activity activity) = 0;
    // A file name from the user, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFile(FileChoice choice) = 0;
    // The local date and time, "2026-12-07 14:03:27", for a saved file's first note.
    virtual std::string LocalTimeText() const = 0;
};

}  // namespace keltrove
