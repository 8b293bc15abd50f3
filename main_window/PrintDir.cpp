#include "main_window/PrintDir.h"

#include "platform/DefaultPrinter.h"
#include "platform/NodeStore.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

namespace quillmap {

namespace {

// A file name for the title: characters a file name can't hold (or shouldn't) become "_".
QString pdfFileName(const QString& title)
{
    QString name = title;
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    name = name.simplified();
    if (name.size() > 120)
        name.truncate(120);
    return name + QDateTime::currentDateTime().toString(QStringLiteral(" yyyy-MM-dd hh.mm.ss")) +
           QStringLiteral(".pdf");
}

} // namespace

void PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject)
{
    if (treeView1.isEmpty()) {
        QMessageBox::information(window, QObject::tr("Print"),
                                 QObject::tr("There is nothing to print yet. Search a folder "
                                             "first, then print its tree."));
        return;
    }

    // A new printing object per print; the previous one is released here.
    printObject = NewDirectoryPrint(treeView1);
    CPrintTvw& print = *printObject;

    if (DefaultPrinterName().isEmpty()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty())
            folder = QDir::homePath();
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath(pdfFileName(print.Title()));
        QString error;
        if (PrintToPdfFile(print, path, &error)) {
            QMessageBox::information(
                window, QObject::tr("Print"),
                QObject::tr("There is no default printer, so the tree was saved as a PDF "
                            "file:\n%1")
                    .arg(QDir::toNativeSeparators(path)));
        } else {
            QMessageBox::warning(window, QObject::tr("Print"),
                                 QObject::tr("There is no default printer, and the PDF file "
                                             "could not be written.\n%1")
                                     .arg(error));
        }
        return;
    }

    QString error;
    if (!PrintToDefaultPrinter(print, &error))
        QMessageBox::warning(window, QObject::tr("Print"), error);
}

} // namespace quillmap
