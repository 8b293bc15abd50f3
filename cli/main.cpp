// quillmap_list: the window's search without the window, for scripts, servers and tests.
#include "cli/ListControls.h"
#include "cli/ListOptions.h"
#include "listing/ListingExport.h"
#include "listing/TreeWriter.h"
#include "platform/files/SystemErrorText.h"
#include "platform/print/DefaultPrinter.h"
#include "platform/print/PdfFileJob.h"
#include "platform/tree/NodeStore.h"
#include "printing/DirectoryPrint.h"
#include "scan/ListingJsonReader.h"
#include "scan/ListingJsonWriter.h"
#include "scan/SearchDir.h"
#include "scan/SearchRecord.h"
#include "scan/TreeComparison.h"
#include "support/SafeFile.h"
#include "support/Utf8Functions.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

using namespace quillmap;

namespace {

// One line of standard error. A name in it (a newline would split the line, an escape sequence
// or a bidirectional override would act on the terminal) is shown as the text listing shows it.
void printError(const QString& text)
{
    std::string line;
    Utf8Functions::AppendVisible(line, text.toStdString());
    line.push_back('\n');
    std::fputs(line.c_str(), stderr);
}

// Reads a saved listing; false (with the reason told) when it can't be. Its entries that
// could not be read are kept when `keepUnread`.
bool readListing(const std::string& path, NodeStore& store, SearchRecord& record,
                 bool keepUnread = true)
{
    ListingJsonReader reader;
    reader.setKeepUnread(keepUnread);
    const auto result = reader.read(path, store, record);
    if (result == ListingJsonReader::Result::Ok)
        return true;
    QString why = QString::fromLatin1(ListingJsonReader::englishText(result));
    if (result == ListingJsonReader::Result::CannotOpen)
        why = SystemErrorText(reader.systemError());
    else if (result != ListingJsonReader::Result::NoVersion)
        why += QStringLiteral(" (") + QString::fromStdString(reader.detail()) + u')';
    printError(QStringLiteral("quillmap_list: cannot read the listing ") +
               NodeStore::displayString(path) + QStringLiteral(": ") + why);
    return false;
}

// --compare: the differences between a saved listing and FOLDER (or a second listing), with
// diff's exit status.
int compareListings(const ListOptions& options)
{
    NodeStore saved;
    SearchRecord savedRecord;
    if (!readListing(options.compareWith, saved, savedRecord, false)) // its tree alone is shown
        return 2;

    NodeStore current;
    SearchRecord record;
    ListControls controls(options);
    struct stat st;
    const bool listing = ::stat(options.folder.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (listing) {
        if (!readListing(options.folder, current, record))
            return 2;
    } else {
        record = SearchRecord::startedWith(controls);
        record.report = SearchDir(controls, current);
        if (!record.report.startFolderRead) {
            printError(QStringLiteral("quillmap_list: cannot list the folder ") +
                       (record.report.problems.isEmpty() ? NodeStore::displayString(options.folder)
                                                         : record.report.problems.first()));
            return 2;
        }
    }

    // The removed nodes join the current tree, so the memory stays that of the two listings.
    TreeComparison comparison;
    comparison.compareInPlace(saved, current);
    saved.clear(); // what is written needs only the compared tree
    NodeStore changedOnly;
    if (options.changedOnly) {
        TreeComparison::Options how;
        how.onlyChanges = true;
        comparison.copy(current, changedOnly, how);
        current.clear();
    }
    const NodeStore& compared = options.changedOnly ? changedOnly : current;

    bool written = true;
    if (options.format == ListingFormat::Json) {
        ListingJsonWriter writer(compared, record, stdout);
        writer.setChanges(&comparison.changes());
        written = writer.write();
    } else {
        TreeWriter writer(compared, stdout);
        writer.setChanges(&comparison.changes());
        if (options.format == ListingFormat::Text)
            writer.writeText();
        else
            writer.writeTsv();
    }
    std::fflush(stdout);

    if (!listing)
        printError(controls.status());
    for (const QString& problem : record.report.problems)
        printError(problem);
    const TreeComparison::Summary& sum = comparison.summary();
    const auto counts = [](const std::array<std::uint64_t, 4>& n, NodeChange c) {
        return QString::number(n[std::size_t(c)]);
    };
    printError(
        QStringLiteral("Files: %1 added, %2 removed, %3 changed, %4 same. "
                       "Folders: %5 added, %6 removed, %7 changed, %8 same. "
                       "Bytes: %9 added, %10 removed.")
            .arg(counts(sum.files, NodeChange::Added), counts(sum.files, NodeChange::Removed),
                 counts(sum.files, NodeChange::Changed), counts(sum.files, NodeChange::Same),
                 counts(sum.folders, NodeChange::Added), counts(sum.folders, NodeChange::Removed),
                 counts(sum.folders, NodeChange::Changed), counts(sum.folders, NodeChange::Same),
                 QString::number(sum.bytesAdded))
            .arg(sum.bytesRemoved));
    if (!written || std::ferror(stdout)) {
        printError(QStringLiteral("quillmap_list: could not write the listing"));
        return 2;
    }
    return sum.anyChange() ? 1 : 0;
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

    if (!options.compareWith.empty())
        return compareListings(options);

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
            printed = PrintToPdfFile(*print, options.pdfFile, PrintLayout(), &error);
        if (printed && options.print)
            printed = PrintToDefaultPrinter(*print, &error);
        printError(controls.status());
        for (const QString& problem : report.problems)
            printError(problem);
        if (!printed) {
            printError(QStringLiteral("quillmap_list: ") + error);
            return 2;
        }
        return report.problems.isEmpty() ? 0 : 1;
    }

    ListingExport::write(options.format, tree, record, stdout, options.totals, options.human);

    printError(controls.status());
    for (const QString& problem : report.problems)
        printError(problem);
    if (std::ferror(stdout)) {
        printError(QStringLiteral("quillmap_list: could not write the listing"));
        return 2;
    }
    return report.problems.isEmpty() ? 0 : 1;
}
