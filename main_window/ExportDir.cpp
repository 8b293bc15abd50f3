#include "main_window/ExportDir.h"

#include "listing/ListingExport.h"
#include "platform/controls/WaitCursor.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"
#include "tree/NodeStore.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

struct FileType
{
    const char* filter;
    const char* suffix;
    ListingFormat format;
};
constexpr FileType kTypes[] = {
    {"Web page (*.html)", "html", ListingFormat::Html},
    {"Spreadsheet (*.csv)", "csv", ListingFormat::Csv},
    {"JSON (*.json)", "json", ListingFormat::Json},
    {"Text (*.txt)", "txt", ListingFormat::Text},
    {"ncdu export (*.json)", "json", ListingFormat::Ncdu},
};

} // namespace

QString ExportDir(QWidget* window, const NodeStore& tree, const SearchRecord& record)
{
    const QString caption = MessageText(76, "Export");
    if (tree.isEmpty()) {
        QMessageBox::information(window, caption,
                                 MessageText(75, "There is nothing to export yet. Search a folder "
                                                 "first, then export its tree."));
        return {};
    }

    // The searched folder's name, "root" for the root folder itself.
    const QString rootPath = NodeStore::displayString(tree.key(tree.item1()));
    QString name = QDir(rootPath).dirName();
    if (name.isEmpty() || rootPath == QLatin1String("/"))
        name = QStringLiteral("root");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();

    QStringList filters;
    for (const FileType& t : kTypes)
        filters << QString::fromLatin1(t.filter);
    QFileDialog dialog(window, caption, QDir(folder).filePath(name + QStringLiteral(".html")));
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    // The suffix follows the type picked, for a name typed without one.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, filters](const QString& filter) {
                         const qsizetype i = filters.indexOf(filter);
                         if (i >= 0)
                             dialog.setDefaultSuffix(QString::fromLatin1(kTypes[i].suffix));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();

    // A name ending in a known type's suffix says the format; else the type picked does, and
    // a name typed without any suffix gets that type's.
    ListingFormat format = ListingFormat::Html;
    const qsizetype picked = filters.indexOf(dialog.selectedNameFilter());
    if (picked >= 0)
        format = kTypes[picked].format;
    if (picked >= 0 && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + QString::fromLatin1(kTypes[picked].suffix);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (picked < 0 || suffix != QLatin1String(kTypes[picked].suffix))
        for (const FileType& t : kTypes)
            if (suffix == QLatin1String(t.suffix)) {
                format = t.format;
                break;
            }

    WaitCursor wait;
    QString error;
    int systemError = 0;
    const bool written = ListingExport::writeFile(format, tree, record, path, &error, &systemError);
    wait.restore();
    if (!written)
        QMessageBox::warning(window, caption,
                             MessageText(62, "The file %1 could not be written: %2")
                                 .arg(QDir::toNativeSeparators(path),
                                      systemError != 0 ? SystemErrorText(systemError) : error));
    return written ? path : QString();
}

} // namespace quillmap
