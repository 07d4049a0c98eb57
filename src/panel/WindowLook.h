// WindowLook: how both windows draw what the toolkit does not: the status line, the red
// frame of a field that differs from the panel, and the value font of received entries.
//
// Pixels are those of a 96 dpi screen; a window scales them to its own. Constants and pure
// functions, callable from any thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace keltrove {

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// Client pixels; right and bottom are outside.
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
};

// The status text stands on yellow at the top left of this rectangle, on one line, under
// every control: drawn on the window itself.
inline constexpr PixelRect kStatusRect{600, 20, 750, 120};
inline constexpr Rgb kStatusBackground{255, 255, 0};

// Around a field that differs from the panel, just outside its own border.
inline constexpr Rgb kDiffersFrame{0xd0, 0x00, 0x00};
inline constexpr int kDiffersFrameWidth = 2;

// The value font: the window's face, 16 px high, its letters stretched to 10 px on average,
// within half and twice their natural width, beyond which the face would look broken.
inline constexpr int kValueFontPixelHeight = 16;
inline constexpr double kValueFontLetterWidth = 10.0;
// The letters whose average advance is measured.
inline constexpr std::string_view kLetterSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// How much to stretch a face whose letters are `naturalWidth` px wide on average at the
// value font's height, `scale` being the window's dpi / 96: 1 leaves it as it is.
double ValueFontStretch(double naturalWidth, double scale = 1.0);

}  // namespace keltrove
