#include "TableFileDialogs.h"

#include <QFile>
#include <QFileDialog>

namespace keltrove {

namespace {
const QString kFilter = QStringLiteral("Table files (*.txt);;All files (*)");
}  // namespace

std::optional<std::string> ChooseTableFile(QWidget* parent, FileChoice choice) {
    const QString path =
        choice == FileChoice::Save
            ? QFileDialog::getSaveFileName(parent, QStringLiteral("Save table as"), {}, kFilter)
            : QFileDialog::getOpenFileName(parent, QStringLiteral("Load table"), {}, kFilter);
    if (path.isEmpty()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

}  // namespace keltrove
