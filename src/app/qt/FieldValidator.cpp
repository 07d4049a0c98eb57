#include "FieldValidator.h"

#include <QLineEdit>

#include "FieldText.h"

namespace keltrove {

CFieldValidator::CFieldValidator(QLineEdit& field, Refused refused)
    : QValidator(&field), m_Refused(std::move(refused)), m_Last(field.text()) {
    connect(&field, &QLineEdit::textChanged, this, [this](const QString& text) { m_Last = text; });
}

QValidator::State CFieldValidator::validate(QString& input, int& pos) const {
    const std::string text = input.toStdString();
    const FieldEdit edit = FilterFieldEdit(m_Last.toStdString(), text);
    if (edit.text == text) return Acceptable;
    input = QString::fromStdString(edit.text);
    pos = static_cast<int>(QString::fromStdString(edit.text.substr(0, edit.cursor)).size());
    if (m_Refused && !edit.refused.empty()) m_Refused(edit.refused);
    return Acceptable;
}

void CFieldValidator::SetUnfiltered(QLineEdit& field, const QString& text) {
    const QValidator* validator = field.validator();
    field.setValidator(nullptr);
    field.setText(text);
    field.setValidator(validator);
}

}  // namespace keltrove
