#include "Latin1Validator.h"

#include "FieldText.h"

namespace keltrove {

CLatin1Validator::CLatin1Validator(QObject& parent, Refused refused)
    : QValidator(&parent), m_Refused(std::move(refused)) {}

QValidator::State CLatin1Validator::validate(QString& input, int& pos) const {
    const auto split = [](const QString& text) { return SplitLatin1(text.toStdString()); };
    const Latin1Split before = split(input.left(pos));
    const Latin1Split after = split(input.mid(pos));
    if (before.refused.empty() && after.refused.empty()) return Acceptable;
    const QString kept = QString::fromStdString(before.kept);
    input = kept + QString::fromStdString(after.kept);
    pos = static_cast<int>(kept.size());
    if (m_Refused) m_Refused(before.refused + after.refused);
    return Acceptable;
}

}  // namespace keltrove
