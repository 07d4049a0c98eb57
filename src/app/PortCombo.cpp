#include "PortCombo.h"

#include <QEvent>
#include <filesystem>
#include <system_error>

#include "PortNames.h"

namespace keltrove {

QString PortItemText(int index) {
    if (index == kPortDisable) return QStringLiteral("Disable");
    return QString::fromStdString(ComPortName(index));
}

QString DescribePortDevice(int comNumber) {
    if (comNumber == kPortDisable) return QStringLiteral("No port");
    const std::filesystem::path path = ResolvePortName(ComPortName(comNumber));
    QString text = PortItemText(comNumber) + QStringLiteral(" → ") + QString::fromStdString(path);
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        text += QStringLiteral(" → ") + QString::fromStdString(target);
        if (!std::filesystem::exists(path, error)) text += QStringLiteral(" (missing)");
    } else if (!std::filesystem::exists(path, error)) {
        text += QStringLiteral(" (missing)");
    }
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
    }
    setToolTip(currentIndex() < 0 ? QString() : DescribePortDevice(currentIndex()));
}

}  // namespace keltrove
