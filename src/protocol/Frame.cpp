#include "Frame.h"

namespace keltrove {

void SetCommandFrame(Frame& frame, Command command) {
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(command);
    frame[7] = kFrameEnd;
}

void SetEntryFrame(Frame& frame, Command command, std::uint8_t entry, const FrameValue& value) {
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(command);
    frame[2] = entry;
    for (std::size_t i = 0; i < kValueSize; ++i) frame[3 + i] = value[i];
    frame[7] = kFrameEnd;
}

FrameValue AlignValue(std::string_view text) {
    // A place is empty only past the end of the text: a NUL byte in the text is a value
    // byte like any other, and reaches the device as it stands.
    FrameValue value{};
    std::array<bool, kValueSize> empty{};
    for (std::size_t i = 0; i < kValueSize; ++i) {
        empty[i] = i >= text.size();
        if (!empty[i]) value[i] = static_cast<std::uint8_t>(text[i]);
    }
    // The device expects values filled with "0" on the left; trailing blanks and empty
    // places become those fill characters. A blank followed by a character stays.
    for (int moves = 0; moves < 4 && (empty[3] || value[3] == ' '); ++moves) {
        for (std::size_t i = kValueSize - 1; i > 0; --i) {
            value[i] = value[i - 1];
            empty[i] = empty[i - 1];
        }
        value[0] = '0';
        empty[0] = false;
    }
    return value;
}

bool IsFramed(const Frame& frame) {
    return frame[0] == kFrameStart && frame[7] == kFrameEnd;
}

bool IsEntryReport(const Frame& frame) {
    return IsFramed(frame) && frame[1] == static_cast<std::uint8_t>(Command::EntryReport);
}

}  // namespace keltrove
