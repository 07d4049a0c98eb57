#include "TableFileDialogs.h"

#include <QDateTime>
#include <QFileDialog>
#include <QSaveFile>
#include <string>
#include <vector>

#include "TableFile.h"

namespace keltrove {

namespace {
const QString kFilter = QStringLiteral("Table files (*.txt);;All files (*)");
}  // namespace

QString ChooseTableFile(QWidget* parent, bool save) {
    return save ? QFileDialog::getSaveFileName(parent, QStringLiteral("Save table as"), {}, kFilter)
                : QFileDialog::getOpenFileName(parent, QStringLiteral("Load table"), {}, kFilter);
}

QString SaveTableFile(const QString& path, const EntryTexts& table) {
    const std::vector<std::string> notes{
        "saved from the Keltrove window at " +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString()};
    const std::string text = FormatTableFile(table, notes);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        return QStringLiteral("%1: %2. An earlier file of that name is unchanged.")
            .arg(path, file.errorString());
    }
    return {};
}

}  // namespace keltrove
