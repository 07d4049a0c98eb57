#include "DialogFonts.h"

#include <QFontDatabase>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "DialogTemplate.h"

namespace keltrove {

namespace {

constexpr int kValuePixelHeight = 16;
constexpr qreal kValueAverageWidth = 10.0;
// QFont's stretch is a percentage; outside this range the face would look broken.
constexpr int kMinStretch = 50;
constexpr int kMaxStretch = 200;

const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

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
    font.setPixelSize(kValuePixelHeight);
    const qreal average = AverageLetterWidth(QFontMetricsF(font));
    if (average > 0) {
        const int stretch =
            std::clamp(static_cast<int>(std::lround(100 * kValueAverageWidth / average)),
                       kMinStretch, kMaxStretch);
        if (stretch != 100) font.setStretch(stretch);
    }
    return font;
}

}  // namespace keltrove
