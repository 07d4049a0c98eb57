#include "TemplateControl.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AppIcon.h"
#include "DialogFonts.h"
#include "Frame.h"
#include "PortCombo.h"

namespace keltrove {

namespace {

constexpr int kIconPixels = 32;  // an icon control shows the icon at its own size

QWidget* CreateEntryField(const ControlTemplate& control, QWidget& parent) {
    auto* edit = new QLineEdit(&parent);
    edit->setAlignment(Qt::AlignCenter);
    edit->setMaxLength(static_cast<int>(kValueSize));  // a value has four characters
    const QString name = QStringLiteral("Entry %1").arg(control.entry);
    edit->setToolTip(name);
    edit->setAccessibleName(name);
    return edit;
}

QWidget* CreatePushButton(const ControlTemplate& control, QWidget& parent) {
    auto* button = new QPushButton(QString::fromUtf8(control.text), &parent);
    // A QDialog makes every button auto-default, which would make Enter press it.
    button->setAutoDefault(control.isDefault);
    button->setDefault(control.isDefault);
    return button;
}

QWidget* CreateGroupBox(const ControlTemplate& control, QWidget& parent) {
    auto* box = new QGroupBox(QString::fromUtf8(control.text), &parent);
    // A frame is drawn around fields created before it: it must not take their clicks.
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->lower();
    return box;
}

QWidget* CreateLabel(const ControlTemplate& control, QWidget& parent) {
    auto* label = new QLabel(QString::fromUtf8(control.text), &parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QWidget* CreateIcon(QWidget& parent) {
    auto* label = new QLabel(&parent);
    label->setPixmap(AppIcon().pixmap(kIconPixels, kIconPixels));
    return label;
}

QWidget* CreateWidget(const ControlTemplate& control, QWidget& parent) {
    switch (control.kind) {
        case ControlKind::EntryField:
            return CreateEntryField(control, parent);
        case ControlKind::PortList:
            return new CPortCombo(&parent);
        case ControlKind::PushButton:
            return CreatePushButton(control, parent);
        case ControlKind::Label:
            return CreateLabel(control, parent);
        case ControlKind::GroupBox:
            return CreateGroupBox(control, parent);
        case ControlKind::Icon:
            return CreateIcon(parent);
    }
    return CreateLabel(control, parent);
}

QRect PlaceOf(const ControlTemplate& control, const QWidget& widget, const CDialogUnits& units) {
    QRect rect = units.ToPixels(control.rect);
    switch (control.kind) {
        case ControlKind::PortList:
            // The template's height includes the dropped-down list; the closed box is as
            // tall as the style wants it.
            rect.setHeight(widget.sizeHint().height());
            break;
        case ControlKind::Icon:
            rect.setSize(QSize(kIconPixels, kIconPixels));
            break;
        default:
            break;
    }
    return rect;
}

Qt::FocusPolicy FocusOf(const ControlTemplate& control) {
    if (control.tabStop) return Qt::StrongFocus;
    // The port list takes the focus when clicked, so that Enter there ends the dialog.
    if (control.kind == ControlKind::PortList) return Qt::ClickFocus;
    return Qt::NoFocus;
}

}  // namespace

QString EntryObjectName(int entry) {
    return QStringLiteral("entry%1").arg(entry);
}

QString ControlObjectName(int id) {
    return QStringLiteral("control%1").arg(id);
}

CDialogUnits SetUpTemplateWindow(QWidget& dialog, const DialogTemplate& tmpl) {
    dialog.setFont(MakeDialogFont());
    dialog.setWindowTitle(QString::fromUtf8(tmpl.caption));
    dialog.setWindowIcon(AppIcon());
    const CDialogUnits units(dialog.font());
    dialog.setFixedSize(units.ToPixels(tmpl.cx, tmpl.cy));
    return units;
}

QWidget* CreateTemplateControl(const ControlTemplate& control, QWidget& parent,
                               const CDialogUnits& units) {
    QWidget* widget = CreateWidget(control, parent);
    widget->setGeometry(PlaceOf(control, *widget, units));
    widget->setFocusPolicy(FocusOf(control));
    if (control.entry != 0) {
        widget->setObjectName(EntryObjectName(control.entry));
    } else if (control.id != IDC_STATIC) {
        widget->setObjectName(ControlObjectName(control.id));
    }
    return widget;
}

}  // namespace keltrove
