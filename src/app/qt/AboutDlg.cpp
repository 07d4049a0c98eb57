#include "AboutDlg.h"

#include <QPushButton>

#include "DialogTemplate.h"
#include "TemplateControl.h"

namespace keltrove {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    const DialogTemplate& dialog = AboutDialogTemplate();
    const CDialogUnits units = SetUpTemplateWindow(*this, dialog);
    for (const ControlTemplate& control : dialog.controls) {
        QWidget* widget = CreateTemplateControl(control, *this, units);
        if (control.id == IDOK) {
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                    &QDialog::accept);
        }
    }
}

}  // namespace keltrove
