// PortCombo: the port list, "Disable" and "COM1" to "COM8".
//
// The item's index is the COM number: kPortDisable (0) means no port. Each item's tooltip
// names the device that the name maps to right now and where the mapping came from, or why
// it cannot be opened, in which case the item is greyed; the map can change while the
// program runs, so this is worked out again whenever the list opens or a tooltip is asked
// for. GUI thread only.
#pragma once

#include <QComboBox>
#include <QString>

#include "ComNames.h"

namespace keltrove {

inline constexpr int kPortDisable = 0;

// The item's text: "Disable" for kPortDisable, "COM1" for 1.
QString PortItemText(int index);

// What the item's tooltip says about where `comNumber` leads.
QString DescribePortDevice(int comNumber);

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
