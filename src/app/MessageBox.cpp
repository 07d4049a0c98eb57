#include "MessageBox.h"

#include "AppInfo.h"

namespace keltrove {

MessageAnswer RunMessageBox(QWidget* parent, const QString& text, MessageButtons buttons,
                            QMessageBox::Icon icon) {
    const bool yesNo = buttons == MessageButtons::YesNo;
    QMessageBox box(icon, QString::fromUtf8(kAppName), text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // texts from the port layer may hold '<'
    const int answer = box.exec();
    if (!yesNo) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace keltrove
