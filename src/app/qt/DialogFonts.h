// DialogFonts: the two fonts of the window.
//
// The dialog font is 9 points "굴림"; Linux rarely has that face, so the font falls back to
// Gulim, then to a face with Korean glyphs (NanumGothic from fonts-nanum, or whatever Korean
// face is installed), so that the Korean texts of the about box show. The value font, for
// the fields of received entries, is 16 px high and about 10 px wide in the default face.
// GUI thread only (they consult the font database). They always return a usable font.
#pragma once

#include <QFont>
#include <QFontMetricsF>

namespace keltrove {

QFont MakeDialogFont();
QFont MakeValueFont();

// Average advance of the 52 Latin letters, the width measure that dialog units and the
// value font's width are based on.
qreal AverageLetterWidth(const QFontMetricsF& metrics);

}  // namespace keltrove
