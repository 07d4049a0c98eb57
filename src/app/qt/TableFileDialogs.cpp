#include "TableFileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "WindowTexts.h"

namespace keltrove {

std::optional<std::string> ChooseTableFile(QWidget* parent, FileChoice choice) {
    const FileDialogText text = FileDialogFor(choice);
    QStringList filters;
    for (const auto& [name, pattern] : text.filters) {
        filters << QString::fromUtf8(name) + QStringLiteral(" (") + QString::fromUtf8(pattern) +
                       ')';
    }
    QFileDialog dialog(parent, QString::fromUtf8(text.title));
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromUtf8(text.defaultSuffix));
    if (choice == FileChoice::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

}  // namespace keltrove
