#include "WindowLook.h"

#include <algorithm>

namespace keltrove {

double ValueFontStretch(double naturalWidth, double scale) {
    constexpr double kMinStretch = 0.5;
    constexpr double kMaxStretch = 2.0;
    if (naturalWidth <= 0) return 1.0;
    return std::clamp(kValueFontLetterWidth * scale / naturalWidth, kMinStretch, kMaxStretch);
}

}  // namespace keltrove
