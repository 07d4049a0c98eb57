#include "PortCombo.h"

#include <QBrush>
#include <QEvent>
#include <QPalette>

#include "ComNames.h"
#include "WindowTexts.h"

namespace keltrove {

CPortCombo::CPortCombo(QWidget* parent) : QComboBox(parent) {
    // Added in this order and never sorted, so that the index is the COM number.
    for (int index = kPortDisable; index <= kLastComPort; ++index) {
        addItem(QString::fromStdString(PortItemText(index)));
    }
    setCurrentIndex(-1);
    setAccessibleName(QString::fromUtf8(PortListName()));
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
    QString current;
    for (int index = 0; index < count(); ++index) {
        const PortItem item = DescribePortItem(index);
        const QString tooltip = QString::fromStdString(item.tooltip);
        setItemData(index, tooltip, Qt::ToolTipRole);
        setItemData(
            index,
            item.greyed ? QBrush(palette().color(QPalette::Disabled, QPalette::Text)) : QVariant(),
            Qt::ForegroundRole);
        if (index == currentIndex()) current = tooltip;
    }
    setToolTip(current + '\n' + QString::fromUtf8(kPortKeysTip));
}

}  // namespace keltrove
