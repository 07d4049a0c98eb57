// Latin1Validator: keeps an entry field to the characters the panel can take.
//
// Whatever reaches the field, typed, pasted, dropped or set, loses every character outside
// Latin-1 (FieldText.h) before the field shows it; the cursor stays behind what was kept.
// `refused` hears of each such loss with the characters left out. GUI thread only.
#pragma once

#include <QValidator>
#include <functional>
#include <string>

namespace keltrove {

class CLatin1Validator final : public QValidator {
public:
    using Refused = std::function<void(const std::string& refused)>;

    CLatin1Validator(QObject& parent, Refused refused);

    State validate(QString& input, int& pos) const override;

private:
    Refused m_Refused;
};

}  // namespace keltrove
