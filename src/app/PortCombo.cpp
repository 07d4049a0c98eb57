#include "PortCombo.h"

#include <QBrush>
#include <QEvent>
#include <QPalette>

#include "PortDescription.h"

namespace keltrove {

QString PortItemText(int index) {
    if (index == kPortDisable) return QStringLiteral("Disable");
    return QString::fromStdString(ComPortName(index));
}

QString DescribePortDevice(int comNumber) {
    if (comNumber == kPortDisable) return QStringLiteral("No port");
    const PortDescription port = DescribePort(ComPortName(comNumber));
    QString text = QString::fromStdString(port.chain);
    if (!port.problem.empty()) text += QLatin1Char('\n') + QString::fromStdString(port.problem);
    return text;
}

CPortCombo::CPortCombo(QWidget* parent) : QComboBox(parent) {
    // Added in this order and never sorted, so that the index is the COM number.
    for (int index = kPortDisable; index <= kLastComPort; ++index) addItem(PortItemText(index));
    setCurrentIndex(-1);
    RefreshToolTips();
}

void CPortCombo::showPopup() {
    RefreshToolTips();
    QComboBox::showPopup();
}

bool CPortCombo::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) RefreshToolTips();
    return QComboBox::event(event);
}

void CPortCombo::RefreshToolTips() {
    for (int index = 0; index < count(); ++index) {
        setItemData(index, DescribePortDevice(index), Qt::ToolTipRole);
        // A port that cannot be opened now is shown greyed, though it can still be chosen:
        // the adapter may be plugged in next.
        const bool missing =
            index != kPortDisable && !DescribePort(ComPortName(index)).problem.empty();
        setItemData(
            index,
            missing ? QBrush(palette().color(QPalette::Disabled, QPalette::Text)) : QVariant(),
            Qt::ForegroundRole);
    }
    setToolTip(currentIndex() < 0 ? QString() : DescribePortDevice(currentIndex()));
}

}  // namespace keltrove
