#include "AppIcon.h"

namespace keltrove {

QIcon AppIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/keltrove/keltrove-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/keltrove/keltrove-16.png"), QSize(16, 16));
    return icon;
}

}  // namespace keltrove
