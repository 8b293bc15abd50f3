#include "main_window/PrintDir.h"

#include "main_window/PrintProgress.h"
#include "platform/controls/WaitCursor.h"
#include "platform/print/PainterPrinterDevice.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "printing/PrintJob.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"
#include "tree/NodeStore.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>

namespace quillmap {

namespace {

using LangFunctions::MessageText;

QString caption()
{
    return MessageText(49, "Print");
}

// Why a print or a save failed, in the user's language: the file that could not be written
// with the C library's reason, or the printer's error. Other failures (none that a searched tree
// can meet) keep the print's own words.
QString failureText(const CPrintTvw& print, const QString& path, int systemError,
                    const QString& error)
{
    if (systemError != 0)
        return MessageText(62, "The file %1 could not be written: %2")
            .arg(QDir::toNativeSeparators(path), SystemErrorText(systemError));
    if (print.PrinterFailed())
        return MessageText(63, "The printer reported an error.");
    return error;
}

// Prints on a printer a dialog gave (a preview's, or the one its Print button chose); false with
// `error` set, the job withdrawn, when the print fails.
bool printOnPrinter(CPrintTvw& print, QPrinter& printer, QString* error)
{
    PainterPrinterDevice device(printer);
    if (print.PrintTvw(device))
        return true;
    device.abort();
    if (error)
        *error = print.errorString();
    return false;
}

} // namespace

// With no searched tree there is nothing to print or save: tell the user to search first.
bool treeToPrint(QWidget* window, const NodeStore& tree, bool saving = false)
{
    if (!tree.isEmpty())
        return true;
    if (saving)
        QMessageBox::information(window, MessageText(50, "Save as PDF"),
                                 MessageText(64, "There is nothing to save yet. Search a folder "
                                                 "first, then save its tree as a PDF file."));
    else
        QMessageBox::information(window, caption(),
                                 MessageText(46, "There is nothing to print yet. Search a folder "
                                                 "first, then print its tree."));
    return false;
}

QString PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                 const QStringList& closingPage, const QString& secondTitle, std::uint32_t branch)
{
    if (!treeToPrint(window, treeView1))
        return {};

    // A new printing object per print; the previous one is released here.
    printObject = treeView1.contains(branch) ? NewBranchPrint(treeView1, branch, secondTitle)
                                             : NewDirectoryPrint(treeView1, secondTitle);
    printObject->setClosingPage(closingPage);
    CPrintTvw& print = *printObject;
    WaitCursor wait;
    QtPrintBackend backend;

    if (backend.defaultPrinterName().isEmpty()) {
        const QString path = DocumentsPdfPath(print.Title());
        QString error;
        int systemError = 0;
        PrintProgress progress(window, caption());
        progress.watch(print);
        const bool saved = PrintToPdfFile(print, backend, path, &error, &systemError);
        wait.restore();
        if (print.Cancelled())
            return {};
        if (saved) {
            QMessageBox::information(
                window, caption(),
                MessageText(47, "There is no default printer, so the tree was saved as a PDF file: "
                                "%1")
                    .arg(QDir::toNativeSeparators(path)));
            return path;
        }
        QMessageBox::warning(window, caption(),
                             MessageText(48, "There is no default printer, and the PDF file "
                                             "could not be written. %1")
                                 .arg(failureText(print, path, systemError, error)));
        return {};
    }

    QString error;
    PrintProgress progress(window, caption());
    progress.watch(print);
    const bool printed = PrintToPrinter(print, backend, QString(), &error);
    wait.restore();
    if (!printed && !print.Cancelled())
        QMessageBox::warning(window, caption(),
                             MessageText(52, "The tree could not be printed. %1")
                                 .arg(failureText(print, QString(), 0, error)));
    return {};
}

void PrintPreview(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const QStringList& closingPage, const QString& secondTitle)
{
    if (!treeToPrint(window, treeView1))
        return;
    printObject = NewDirectoryPrint(treeView1, secondTitle);
    printObject->setClosingPage(closingPage);
    const std::shared_ptr<CPrintTvw> print = printObject;

    const QString printerName = QtPrintBackend().defaultPrinterName();
    QPrinter printer(QPrinter::HighResolution);
    if (!printerName.isEmpty())
        printer.setPrinterName(printerName);
    QtPrintBackend::preparePrinter(printer, print->Title());
    // The preview's Print button proposes a file named after the document: a name, not the
    // title's path. With no printer it prints into a PDF file, in the documents folder.
    printer.setDocName(PdfFileName(print->Title()));
    if (printerName.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(DocumentsPdfPath(print->Title()));
    }
    QPrintPreviewDialog dialog(&printer, window);
    dialog.setWindowTitle(print->Title());
    QString error;
    // Called for the preview and again for the printer the preview's Print button chose.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [print, &error, &dialog](QPrinter* target) {
                         WaitCursor wait;
                         PrintProgress progress(&dialog, dialog.windowTitle());
                         progress.watch(*print);
                         if (!printOnPrinter(*print, *target, &error) && !print->Cancelled())
                             QMessageBox::warning(
                                 &dialog, caption(),
                                 MessageText(52, "The tree could not be printed. %1")
                                     .arg(failureText(*print, QString(), 0, error)));
                     });
    dialog.exec();
}

QString SaveAsPdf(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const QStringList& closingPage, const QString& secondTitle)
{
    if (!treeToPrint(window, treeView1, true))
        return {};
    printObject = NewDirectoryPrint(treeView1, secondTitle);
    printObject->setClosingPage(closingPage);
    CPrintTvw& print = *printObject;

    // The searched folder's name, or the title where the folder has none (the root folder).
    const QString rootPath = NodeStore::displayString(treeView1.fullPath(treeView1.item1()));
    QString name = QDir(rootPath).dirName();
    if (name.isEmpty() || rootPath == QLatin1String("/"))
        name = QString(print.Title()).replace(QLatin1Char('/'), QLatin1Char('_'));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();

    QFileDialog dialog(window, MessageText(50, "Save as PDF"),
                       QDir(folder).filePath(name + QStringLiteral(".pdf")),
                       QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();

    WaitCursor wait;
    QString error;
    int systemError = 0;
    PrintProgress progress(window, MessageText(50, "Save as PDF"));
    progress.watch(print);
    // The printer's paper and margins, so the file prints as the Print command would.
    // Cancelled, the save leaves no file behind and an earlier file as it was.
    QtPrintBackend backend;
    const bool saved =
        PrintToPdfFile(print, backend, path, backend.printLayout(), &error, &systemError);
    wait.restore();
    if (!saved && !print.Cancelled())
        QMessageBox::warning(window, MessageText(50, "Save as PDF"),
                             MessageText(65, "The PDF file could not be saved. %1")
                                 .arg(failureText(print, path, systemError, error)));
    return saved ? path : QString();
}

} // namespace quillmap
