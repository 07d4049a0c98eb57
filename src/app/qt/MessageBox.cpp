#include "MessageBox.h"

#include <QLabel>
#include <QMessageBox>

#include "DialogTemplate.h"

namespace keltrove {

namespace {

QMessageBox::Icon IconOf(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer RunMessageBox(QWidget* parent, const PanelBox& request) {
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(IconOf(request.icon), QString::fromUtf8(kCaption),
                    QString::fromStdString(request.text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // texts from the port layer may hold '<'
    if (!request.detail.empty()) {
        box.setInformativeText(QString::fromStdString(request.detail));
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    if (yesNo) {
        box.setDefaultButton(request.defaultAnswer == MessageAnswer::No ? QMessageBox::No
                                                                        : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int answer = box.exec();
    if (!yesNo) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace keltrove
