// quillmap_list: the window's search without the window, for scripts, servers and tests.
#include "cli/ListControls.h"
#include "cli/ListOptions.h"
#include "cli/TreeWriter.h"
#include "platform/DefaultPrinter.h"
#include "platform/NodeStore.h"
#include "printing/DirectoryPrint.h"
#include "scan/ListingJsonWriter.h"
#include "scan/SearchDir.h"
#include "scan/SearchRecord.h"
#include "support/SafeFile.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

using namespace quillmap;

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// A problem as one line of standard error: a name's control characters (a newline in it would
// split the line) are shown as "?", as the text listing shows them.
void printProblem(QString text)
{
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'?';
    printError(text);
}

} // namespace

int main(int argc, char** argv)
{
    ListOptions options;
    const QString usageError = options.parse(argc, argv);
    const bool printing = usageError.isEmpty() && (options.print || !options.pdfFile.isEmpty());
    // Printing needs fonts, hence a GUI application, but never a screen: it draws offscreen,
    // so a DISPLAY that no server answers can't stop it.
    if (printing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app(printing ? new QGuiApplication(argc, argv)
                                                         : new QCoreApplication(argc, argv));
    if (!usageError.isEmpty()) {
        printError(QStringLiteral("quillmap_list: ") + usageError);
        printError(QStringLiteral("Try 'quillmap_list --help' for more information."));
        return 2;
    }
    if (options.help) {
        std::fputs(ListOptions::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("quillmap_list %s\n", QUILLMAP_VERSION);
        return 0;
    }

    // Print problems that need no scan to find are told before a long scan, not after it.
    if (options.print && DefaultPrinterName().isEmpty()) {
        printError(QStringLiteral("quillmap_list: There is no default printer."));
        return 2;
    }
    if (!options.pdfFile.isEmpty()) {
        const QString problem = SafeFile::problem(options.pdfFile);
        if (!problem.isEmpty()) {
            printError(QStringLiteral("quillmap_list: ") + problem);
            return 2;
        }
    }

    ListControls controls(options);
    NodeStore tree;
    SearchRecord record = SearchRecord::startedWith(controls);
    record.report = SearchDir(controls, tree);
    const ScanReport& report = record.report;
    if (!report.startFolderRead) {
        printError(QStringLiteral("quillmap_list: cannot list the folder ") +
                   (report.problems.isEmpty() ? NodeStore::displayString(options.folder)
                                              : report.problems.first()));
        return 2;
    }

    if (printing) {
        const auto print = NewDirectoryPrint(tree);
        QString error;
        bool printed = true;
        if (!options.pdfFile.isEmpty())
            printed = PrintToPdfFile(*print, options.pdfFile, &error);
        if (printed && options.print)
            printed = PrintToDefaultPrinter(*print, &error);
        printError(controls.status());
        for (const QString& problem : report.problems)
            printProblem(problem);
        if (!printed) {
            printError(QStringLiteral("quillmap_list: ") + error);
            return 2;
        }
        return report.problems.isEmpty() ? 0 : 1;
    }

    TreeWriter writer(tree, stdout);
    switch (options.format) {
    case ListOptions::Format::Text:
        writer.writeText();
        break;
    case ListOptions::Format::Tsv:
        writer.writeTsv();
        break;
    case ListOptions::Format::Json:
        ListingJsonWriter(tree, record, stdout).write();
        break;
    }
    std::fflush(stdout);

    printError(controls.status());
    for (const QString& problem : report.problems)
        printProblem(problem);
    if (std::ferror(stdout)) {
        printError(QStringLiteral("quillmap_list: could not write the listing"));
        return 2;
    }
    return report.problems.isEmpty() ? 0 : 1;
}
