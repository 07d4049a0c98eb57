#include "MainDlgControls.h"

#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>

#include "DialogTemplate.h"
#include "FieldValidator.h"
#include "PortCombo.h"
#include "TemplateControl.h"

namespace keltrove {

FieldTexts MainDlgControls::Texts() const {
    FieldTexts texts;
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        texts[EntryIndex(entry)] = Entry(entry).text().toStdString();
    }
    return texts;
}

void MainDlgControls::ShowTexts(const FieldTexts& texts) const {
    for (int entry = 1; entry <= kEntryCount; ++entry) {
        const QString text = QString::fromStdString(texts[EntryIndex(entry)]);
        if (Entry(entry).text() != text) CFieldValidator::SetUnfiltered(Entry(entry), text);
    }
}

void MainDlgControls::Mark(int entry, FieldMark mark, const std::string& tooltip) const {
    QLineEdit& field = Entry(entry);
    const QString frame = mark == FieldMark::Differs
                              ? QStringLiteral("QLineEdit { border: 2px solid #d00000; }")
                              : QString();
    if (field.styleSheet() != frame) field.setStyleSheet(frame);
    field.setToolTip(QString::fromStdString(tooltip));
    // A refusal is news now, not only once the mouse happens to rest on the field.
    if (mark == FieldMark::Refused && field.isVisible()) {
        QToolTip::showText(field.mapToGlobal(QPoint(0, field.height())), field.toolTip(), &field);
    }
}

MainDlgControls BuildMainDlgControls(QWidget& dialog, const CDialogUnits& units,
                                     const RefusedInput& refused) {
    MainDlgControls controls;
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        QWidget* widget = CreateTemplateControl(control, dialog, units);
        if (control.entry != 0) {
            auto* field = static_cast<QLineEdit*>(widget);
            controls.entries[EntryIndex(control.entry)] = field;
            field->setValidator(new CFieldValidator(
                *field, [refused, entry = control.entry](const std::string& characters) {
                    refused(entry, characters);
                }));
            if (control.tabStop && controls.firstTabStop == nullptr) controls.firstTabStop = field;
        }
        switch (control.id) {
            case IDC_PORT_LIST:
                controls.portList = static_cast<CPortCombo*>(widget);
                break;
            case IDC_READ:
                controls.read = static_cast<QPushButton*>(widget);
                break;
            case IDC_WRITE:
                controls.write = static_cast<QPushButton*>(widget);
                break;
            case IDC_EXIT:
                controls.exit = static_cast<QPushButton*>(widget);
                break;
            default:
                break;
        }
    }
    return controls;
}

}  // namespace keltrove
