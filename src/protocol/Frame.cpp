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
    FrameValue value{};  // NUL past the end of the text
    for (std::size_t i = 0; i < kValueSize && i < text.size(); ++i) {
        value[i] = static_cast<std::uint8_t>(text[i]);
    }
    // The device expects values filled with "0" on the left; trailing blanks and missing
    // characters become those fill characters. A blank followed by a character stays.
    for (int moves = 0; moves < 4 && (value[3] == 0x00 || value[3] == ' '); ++moves) {
        value[3] = value[2];
        value[2] = value[1];
        value[1] = value[0];
        value[0] = '0';
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
