// FieldValidator: keeps an entry field to the characters the panel can take.
//
// Whatever the user brings to the field, typed, pasted or dropped, keeps its first line and
// loses every character a field may not hold (FieldText.h) before the field shows it; the
// cursor stays behind what was kept. What the field held already stays as it was: the
// program sets a received value with SetUnfiltered, control bytes and all. `refused` hears
// of each loss with the characters left out. GUI thread only.
#pragma once

#include <QValidator>

class QLineEdit;
#include <functional>
#include <string>

namespace keltrove {

class CFieldValidator final : public QValidator {
public:
    using Refused = std::function<void(const std::string& refused)>;

    CFieldValidator(QLineEdit& field, Refused refused);

    State validate(QString& input, int& pos) const override;

    // Sets `field`'s text as it stands, past the validator.
    static void SetUnfiltered(QLineEdit& field, const QString& text);

private:
    Refused m_Refused;
    QString m_Last;  // the field's text as the last edit or set left it
};

}  // namespace keltrove
