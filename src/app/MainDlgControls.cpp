#include "MainDlgControls.h"

#include <QLineEdit>
#include <QPushButton>

#include "DialogTemplate.h"
#include "PortCombo.h"
#include "TemplateControl.h"

namespace keltrove {

MainDlgControls BuildMainDlgControls(QWidget& dialog, const CDialogUnits& units) {
    MainDlgControls controls;
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        QWidget* widget = CreateTemplateControl(control, dialog, units);
        if (control.entry != 0) {
            controls.entries[static_cast<std::size_t>(control.entry - 1)] =
                static_cast<QLineEdit*>(widget);
        }
        switch (control.id) {
            case kIdPortList:
                controls.portList = static_cast<CPortCombo*>(widget);
                break;
            case kIdRead:
                controls.read = static_cast<QPushButton*>(widget);
                break;
            case kIdWrite:
                controls.write = static_cast<QPushButton*>(widget);
                break;
            case kIdExit:
                controls.exit = static_cast<QPushButton*>(widget);
                break;
            default:
                break;
        }
    }
    return controls;
}

}  // namespace keltrove
