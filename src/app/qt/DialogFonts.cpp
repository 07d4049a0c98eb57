#include "DialogFonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <cmath>

#include "DialogTemplate.h"
#include "WindowLook.h"

namespace keltrove {

namespace {

const QString kLetters = QString::fromUtf8(kLetterSample);

}  // namespace

qreal AverageLetterWidth(const QFontMetricsF& metrics) {
    return metrics.horizontalAdvance(kLetters) / kLetters.size();
}

QFont MakeDialogFont() {
    QStringList faces{QString::fromUtf8(kDialogFontFace), QStringLiteral("Gulim"),
                      QStringLiteral("GulimChe"), QStringLiteral("NanumGothic"),
                      QStringLiteral("Noto Sans CJK KR")};
    const QStringList korean = QFontDatabase::families(QFontDatabase::Korean);
    if (!korean.isEmpty() && !faces.contains(korean.front())) faces.append(korean.front());
    QFont font;
    font.setFamilies(faces);
    font.setPointSize(kDialogFontPoints);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont MakeValueFont() {
    QFont font;  // the application's default face
    font.setPixelSize(kValueFontPixelHeight);
    // QFont's stretch is a percentage.
    const int stretch = static_cast<int>(
        std::lround(100 * ValueFontStretch(AverageLetterWidth(QFontMetricsF(font)))));
    if (stretch != 100) font.setStretch(stretch);
    return font;
}

}  // namespace keltrove
