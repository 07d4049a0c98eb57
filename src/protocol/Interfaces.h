// Interfaces: how the protocol core reaches the outside world.
//
// The core never touches the port, the window or the clock itself. The serial link, the
// Qt dialog and the real clock implement these; the tests implement them with fakes.
// Every call is made on the window's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "EntryTable.h"

namespace keltrove {

// The byte transport: the port that carries frames out, and its receive queue.
class IByteLink {
public:
    virtual ~IByteLink() = default;
    // Writes `count` bytes; returns how many went out (0 with no port open).
    virtual std::uint32_t Write(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Moves up to `capacity` received bytes, oldest first, into `out`; 0 when none wait.
    virtual std::size_t TakeReceived(std::uint8_t* out, std::size_t capacity) = 0;
};

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// The window: 32 entry fields, the value font, the status line and message boxes.
class IDialogView {
public:
    virtual ~IDialogView() = default;
    // The text the entry's field shows now, one byte per character.
    virtual std::string EntryFieldText(int entry) const = 0;
    // The refresh: every field shows its text from `texts`.
    virtual void ShowEntryTexts(const EntryTexts& texts) = 0;
    // Gives the entry's field the value font, which is created once, on first use.
    virtual void UseValueFont(int entry) = 0;
    // Draws one status text; it must appear at once, even while the thread is busy.
    virtual void ShowStatus(std::string_view text) = 0;
    // A modal message box. It may run a nested event loop, so the core can be re-entered.
    virtual MessageAnswer ShowMessage(std::string_view text, MessageButtons buttons) = 0;
};

// The write sequence's pauses, which block the calling thread.
class IPause {
public:
    virtual ~IPause() = default;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
};

}  // namespace keltrove
