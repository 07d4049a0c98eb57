#include "MessageBox.h"

#include <QLabel>

#include "AppInfo.h"

namespace keltrove {

MessageAnswer RunMessageBox(QWidget* parent, const BoxRequest& request) {
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(request.icon, QString::fromUtf8(kAppName), request.text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // texts from the port layer may hold '<'
    if (!request.detail.isEmpty()) {
        box.setInformativeText(request.detail);
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    if (yesNo) box.setEscapeButton(QMessageBox::No);
    const int answer = box.exec();
    if (!yesNo) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace keltrove
