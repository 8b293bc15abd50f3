#include "main_window/PrintDir.h"

#include "main_window/BackgroundPrint.h"
#include "main_window/PdfPreview.h"
#include "main_window/PrintOptionsPanel.h"
#include "main_window/PrintProgress.h"
#include "main_window/SavedPrintSettings.h"
#include "platform/controls/WaitCursor.h"
#include "platform/print/PainterPrinterDevice.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "printing/PrintJob.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"
#include "tree/NodeStore.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

namespace quillmap {

namespace {

using LangFunctions::MessageText;
using MakePrint = PdfPreview::MakePrint;

// A job of more pages than this (copies counted) is asked about once more.
constexpr int kAskAbovePages = 100;

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

// Prints on a printer a dialog gave; false with `error` set, the job withdrawn, when the print
// fails.
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

// The document of the tree for the settings chosen.
MakePrint documentOf(NodeStore& tree, const PrintRequest& request)
{
    return [&tree, request](const PrintSettings& settings) {
        std::shared_ptr<CPrintTvw> print =
            tree.contains(request.branch)
                ? NewBranchPrint(tree, request.branch, settings, request.details,
                                 request.secondTitle)
                : NewDirectoryPrint(tree, settings, request.details, request.secondTitle);
        print->setClosingPage(request.closingPage);
        return print;
    };
}

// The pages the document makes with the settings `options` shows, on `layout`, counted in the
// background and shown in `options` (again whenever the settings change there).
class PageCount
{
public:
    PageCount(PrintOptionsPanel& options, MakePrint makePrint, const QPageLayout& layout)
        : m_options(options), m_makePrint(std::move(makePrint)), m_layout(layout)
    {
        QObject::connect(&options, &PrintOptionsPanel::settingsChanged, &m_counter,
                         [this] { count(); });
        count();
    }
    void setLayout(const QPageLayout& layout)
    {
        m_layout = layout;
        count();
    }
    // The count for `settings` on `layout` once it is done; -1 before, or for others.
    int pages(const PrintSettings& settings, const QPageLayout& layout)
    {
        m_counter.stop();
        return m_pages >= 0 && settings == m_settings && layout == m_layout ? m_pages : -1;
    }

private:
    void count()
    {
        m_pages = -1;
        m_settings = m_options.settings();
        m_options.setPageCount(-1);
        const std::shared_ptr<CPrintTvw> print = m_makePrint(m_settings);
        m_counter.start([this, print, layout = m_layout](const std::atomic<bool>& stop,
                                                         const BackgroundPrint::Post& post) {
            QtPrintBackend backend;
            print->setPageDone([&stop](int) { return !stop; });
            const int pages = CountPages(*print, backend, layout);
            print->setPageDone(nullptr);
            post([this, pages] {
                m_pages = pages;
                m_options.setPageCount(pages);
            });
        });
    }

    PrintOptionsPanel& m_options;
    MakePrint m_makePrint;
    QPageLayout m_layout;
    PrintSettings m_settings;
    int m_pages = -1;
    BackgroundPrint m_counter;
};

// Tells where the PDF went, with a button that opens it.
void tellSaved(QWidget* window, const QString& text, const QString& path)
{
    QMessageBox box(QMessageBox::Information, caption(), text, QMessageBox::Ok, window);
    QPushButton* open = box.addButton(MessageText(225, "Open"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// The paper and margins a print on the printer `name` has; `otherwise` for the PDF file.
QPageLayout printerLayout(const QString& name, const QString& title, const QPageLayout& otherwise)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull())
        return otherwise;
    QPrinter printer(info, QPrinter::HighResolution);
    QtPrintBackend::preparePrinter(printer, title);
    return printer.pageLayout();
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
                 const PrintRequest& request)
{
    if (!treeToPrint(window, treeView1))
        return {};
    const MakePrint makePrint = documentOf(treeView1, request);
    const QString title = makePrint(PrintSettings())->Title();
    QtPrintBackend backend;
    const QString defaultPrinter = backend.defaultPrinterName();

    // The default printer with the paper every print uses; with none, a PDF file in the
    // documents folder, as the print before this dialog wrote.
    QPrinter printer(QPrinter::HighResolution);
    if (!defaultPrinter.isEmpty())
        printer.setPrinterName(defaultPrinter);
    QtPrintBackend::preparePrinter(printer, title);
    printer.setDocName(PdfFileName(title));
    if (defaultPrinter.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(DocumentsPdfPath(title));
    }
    const QPageLayout pdfLayout = printer.pageLayout();

    QPrintDialog dialog(&printer, window);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    // The settings and the page count where they are seen at once, above the buttons.
    auto* options = new PrintOptionsPanel(&dialog);
    options->setSettings(SavedPrintSettings::load());
    if (auto* box = qobject_cast<QBoxLayout*>(dialog.layout()))
        box->insertWidget(box->count() - 1, options);
    PageCount count(*options, makePrint, printer.pageLayout());
    // Another printer may have other paper.
    if (auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers")))
        QObject::connect(
            printers, &QComboBox::currentTextChanged, options,
            [&](const QString& name) { count.setLayout(printerLayout(name, title, pdfLayout)); });
    if (dialog.exec() != QDialog::Accepted)
        return {};

    const PrintSettings settings = options->settings();
    SavedPrintSettings::save(settings);
    // A new printing object per print; the previous one is released here.
    printObject = makePrint(settings);
    CPrintTvw& print = *printObject;
    std::optional<WaitCursor> wait(std::in_place);
    int pages = count.pages(settings, printer.pageLayout());
    if (pages < 0) {
        PrintProgress progress(window, caption());
        progress.watch(print);
        QString error;
        pages = CountPages(print, backend, printer.pageLayout(), &error);
        if (print.Cancelled())
            return {};
    }
    const bool ranged = printer.printRange() == QPrinter::PageRange;
    const int first = ranged ? std::max(1, printer.fromPage()) : 1;
    const int last = ranged && printer.toPage() > 0 ? std::min(printer.toPage(), pages) : pages;
    print.setPageRange(ranged ? first : 0, ranged ? printer.toPage() : 0);
    // A printer prints the copies; a PDF file holds the pages once.
    const int copies = printer.outputFormat() == QPrinter::NativeFormat ? printer.copyCount() : 1;
    const int jobPages = std::max(0, last - first + 1) * std::max(1, copies);
    if (jobPages > kAskAbovePages) {
        wait.reset();
        if (QMessageBox::question(
                window, caption(),
                MessageText(226, "This print has %1 pages. Do you want to print them?")
                    .arg(QLocale().toString(jobPages))) != QMessageBox::Yes)
            return {};
        wait.emplace();
    }

    QString error;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QString path = printer.outputFileName();
        int systemError = 0;
        PrintProgress progress(window, caption());
        progress.watch(print);
        const bool saved =
            PrintToPdfFile(print, backend, path, printer.pageLayout(), &error, &systemError);
        wait.reset();
        if (print.Cancelled())
            return {};
        const QString shown = QDir::toNativeSeparators(path);
        if (saved) {
            tellSaved(window,
                      defaultPrinter.isEmpty()
                          ? MessageText(47, "There is no default printer, so the tree was saved "
                                            "as a PDF file: %1")
                                .arg(shown)
                          : MessageText(227, "The tree was saved as a PDF file: %1").arg(shown),
                      path);
            return path;
        }
        if (defaultPrinter.isEmpty())
            QMessageBox::warning(window, caption(),
                                 MessageText(48, "There is no default printer, and the PDF file "
                                                 "could not be written. %1")
                                     .arg(failureText(print, path, systemError, error)));
        else
            QMessageBox::warning(window, caption(),
                                 MessageText(65, "The PDF file could not be saved. %1")
                                     .arg(failureText(print, path, systemError, error)));
        return {};
    }
    PrintProgress progress(window, caption());
    progress.watch(print);
    const bool printed = printOnPrinter(print, printer, &error);
    wait.reset();
    if (!printed && !print.Cancelled())
        QMessageBox::warning(window, caption(),
                             MessageText(52, "The tree could not be printed. %1")
                                 .arg(failureText(print, QString(), 0, error)));
    return {};
}

void PrintPreview(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const PrintRequest& request)
{
    if (!treeToPrint(window, treeView1))
        return;
    const MakePrint makePrint = documentOf(treeView1, request);
    printObject = makePrint(SavedPrintSettings::load());
    QtPrintBackend backend;
    PdfPreview* shown = nullptr;
    PdfPreview preview(
        window, printObject->Title(), backend.printLayout(), makePrint,
        [&] { PrintDir(shown, treeView1, printObject, request); },
        [&] { SaveAsPdf(shown, treeView1, printObject, request); });
    shown = &preview;
    preview.exec();
}

QString SaveAsPdf(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const PrintRequest& request)
{
    if (!treeToPrint(window, treeView1, true))
        return {};
    const MakePrint makePrint = documentOf(treeView1, request);
    const QString title = makePrint(PrintSettings())->Title();

    // The searched folder's name, or the title where the folder has none (the root folder).
    const QString rootPath = NodeStore::displayString(treeView1.fullPath(treeView1.item1()));
    QString name = QDir(rootPath).dirName();
    if (name.isEmpty() || rootPath == QLatin1String("/"))
        name = QString(title).replace(QLatin1Char('/'), QLatin1Char('_'));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();

    // The printer's paper and margins, so the file prints as the Print command would.
    QtPrintBackend backend;
    const QPageLayout layout = backend.printLayout();
    QFileDialog dialog(window, MessageText(50, "Save as PDF"),
                       QDir(folder).filePath(name + QStringLiteral(".pdf")),
                       QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    // The print settings below the file's name: Qt's own dialog has room for them.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* options = new PrintOptionsPanel(&dialog);
    options->setSettings(SavedPrintSettings::load());
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(options, grid->rowCount(), 0, 1, grid->columnCount());
    PageCount count(*options, makePrint, layout);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().constFirst();
    const PrintSettings settings = options->settings();
    SavedPrintSettings::save(settings);
    count.pages(settings, layout); // no count is needed any more
    printObject = makePrint(settings);
    CPrintTvw& print = *printObject;

    WaitCursor wait;
    QString error;
    int systemError = 0;
    PrintProgress progress(window, MessageText(50, "Save as PDF"));
    progress.watch(print);
    // Cancelled, the save leaves no file behind and an earlier file as it was.
    const bool saved = PrintToPdfFile(print, backend, path, layout, &error, &systemError);
    wait.restore();
    if (!saved && !print.Cancelled())
        QMessageBox::warning(window, MessageText(50, "Save as PDF"),
                             MessageText(65, "The PDF file could not be saved. %1")
                                 .arg(failureText(print, path, systemError, error)));
    return saved ? path : QString();
}

} // namespace quillmap
