#include "ValueFont.h"

#include <cmath>
#include <string>

#include "SystemError.h"
#include "WindowDpi.h"
#include "WindowLook.h"

namespace keltrove {

namespace {

UniqueFont CreateValueFont(int height, int width, const wchar_t* face) {
    return UniqueFont(::CreateFontW(height, width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

}  // namespace

UniqueFont MakeValueFont(HWND dialog, UINT dpi) {
    LOGFONTW dialogFont{};
    if (const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0))) {
        ::GetObjectW(font, sizeof dialogFont, &dialogFont);
    }
    const int height = -ScaleTo(kValueFontPixelHeight, dpi);
    UniqueFont natural = CreateValueFont(height, 0, dialogFont.lfFaceName);
    const CWindowDC dc(dialog);
    if (!natural || dc.Get() == nullptr) return natural;
    const std::wstring letters = Widen(kLetterSample);
    TEXTMETRICW metrics{};
    SIZE extent{};
    {
        const CSelectObject selected(dc.Get(), natural.Get());
        ::GetTextMetricsW(dc.Get(), &metrics);
        ::GetTextExtentPoint32W(dc.Get(), letters.c_str(), static_cast<int>(letters.size()),
                                &extent);
    }
    if (extent.cx <= 0 || metrics.tmAveCharWidth <= 0) return natural;
    const double stretch = ValueFontStretch(static_cast<double>(extent.cx) / letters.size(),
                                            static_cast<double>(dpi) / 96);
    if (std::abs(stretch - 1.0) < 0.01) return natural;
    // CreateFont's width is the average character width, so the stretch scales it.
    return CreateValueFont(height, static_cast<int>(std::lround(metrics.tmAveCharWidth * stretch)),
                           dialogFont.lfFaceName);
}

}  // namespace keltrove
