// PortCombo: the port list, "Disable" and "COM1" to "COM8".
//
// The item's index is the COM number: kPortDisable (0) means no port. Each item's tooltip
// and greying follow DescribePortItem (WindowTexts.h); the map can change while the program
// runs, so they are worked out again whenever the list opens or a tooltip is asked for. GUI
// thread only.
#pragma once

#include <QComboBox>

namespace keltrove {

class CPortCombo final : public QComboBox {
public:
    explicit CPortCombo(QWidget* parent);

    void showPopup() override;

protected:
    bool event(QEvent* event) override;

private:
    void RefreshToolTips();
};

}  // namespace keltrove
