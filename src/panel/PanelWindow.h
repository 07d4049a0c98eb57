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

// What the window lets the user do (CPanelPresenter::Allows says it command by command).
// Idle: everything. Reading: all but choosing a port and the table commands (Save, Load,
// Compare), which would act behind the read's back. Writing (the frames, then the
// read-back) and Connecting (a network port chosen, until its server answers or the
// connection gives up, within seconds): nothing; the input that reaches the window
// meanwhile, whether it waited while the thread was held or came later, is dropped, not
// acted on.
enum class Activity { Idle, Reading, Writing, Connecting };

constexpr bool DropsInputDuring(Activity activity) {
    return activity == Activity::Writing || activity == Activity::Connecting;
}

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
    // Called whenever the activity changes: the window enables what the presenter allows
    // now, and drops its input while writing.
    virtual void ShowActivity(Activity activity) = 0;
    // A file name from the user, or nothing when cancelled (FileDialogFor says how to ask).
    virtual std::optional<std::string> ChooseFile(FileChoice choice) = 0;
};

}  // namespace keltrove
