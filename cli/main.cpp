// quillmap_list: the window's search without the window, for scripts, servers and tests.
#include "cli/ListControls.h"
#include "cli/ListOptions.h"
#include "listing/ListingDocument.h"
#include "listing/ListingExport.h"
#include "listing/ListingJsonWriter.h"
#include "listing/SavedListingSource.h"
#include "listing/SearchSession.h"
#include "listing/TreeWriter.h"
#include "platform/files/PosixFileSystem.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "printing/PrintJob.h"
#include "support/SafeFile.h"
#include "support/SystemErrorText.h"
#include "support/Utf8Functions.h"
#include "tree/NodeStore.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPrinterInfo>

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

// Why a saved listing could not be read.
void tellUnread(const SavedListingSource& source)
{
    const auto result = source.result();
    QString why = QString::fromLatin1(ListingJsonReader::englishText(result));
    if (result == ListingJsonReader::Result::CannotOpen)
        why = SystemErrorText(source.systemError());
    else if (result != ListingJsonReader::Result::NoVersion)
        why += QStringLiteral(" (") + QString::fromStdString(source.detail()) + u')';
    printError(QStringLiteral("quillmap_list: cannot read the listing ") +
               NodeStore::displayString(source.path()) + QStringLiteral(": ") + why);
}

// FOLDER into the document: searched, or read back where it is a saved listing and `listings`
// allows it. False, with the reason told, when there is nothing to write.
bool loadFolder(ListingDocument& document, const ListOptions& options, ListControls& controls,
                bool listings)
{
    struct stat st;
    if (listings && ::stat(options.folder.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        SavedListingSource source(options.folder);
        if (document.load(source, ListingDocument::Origin::SavedListing, options.folder))
            return true;
        tellUnread(source);
        return false;
    }
    SearchSession session(document, std::make_shared<PosixFileSystem>());
    session.run(controls);
    const ScanReport& report = document.record().report;
    if (report.startFolderRead)
        return true;
    printError(QStringLiteral("quillmap_list: cannot list the folder ") +
               (report.problems.isEmpty() ? NodeStore::displayString(options.folder)
                                          : report.problems.first()));
    return false;
}

// Where two listings compared were made with different filters, what is added or removed may
// be so only because of them: said before the summary.
void tellFilters(const ListingDocument& document)
{
    const ScanFilters& now = document.record().filters;
    const ScanFilters& before = document.comparedRecord().filters;
    if (now.sameChoices(before))
        return;
    const auto text = [](const ScanFilters& f) {
        return f.isEmpty() ? QStringLiteral("none") : f.describe();
    };
    printError(QStringLiteral("quillmap_list: the listings were made with different filters (%1: "
                              "%2; %3: %4)")
                   .arg(NodeStore::displayString(document.record().folder), text(now),
                        document.comparedWith(), text(before)));
}

// What a search met, after its listing: the counts, and each entry that could not be read.
void tellSearched(const ListingDocument& document, const ListControls& controls)
{
    if (document.origin() == ListingDocument::Origin::Search)
        printError(controls.status());
    for (const QString& problem : document.record().report.problems)
        printError(problem);
}

// --compare: the differences between a saved listing and FOLDER (or a second listing), with
// diff's exit status.
int compareListings(const ListOptions& options)
{
    // The saved listing is read first, so that one that can't be read is told before a search.
    SavedListingSource old(options.compareWith);
    old.setKeepUnread(false); // its tree alone is compared and shown
    NodeStore saved;
    SearchRecord savedRecord;
    if (!old.read(saved, savedRecord)) {
        tellUnread(old);
        return 2;
    }
    ListingDocument document;
    ListControls controls(options);
    if (!loadFolder(document, options, controls, true))
        return 2;
    document.setComparisonView(options.changedOnly, false);
    document.compareWith(std::move(saved), std::move(savedRecord),
                         NodeStore::displayString(options.compareWith));
    if (options.order != SortOrder())
        document.sort(options.order);

    bool written = true;
    if (options.format == ListingFormat::Json) {
        ListingJsonWriter writer(document.tree(), document.record(), stdout);
        writer.setChanges(&document.changes());
        written = writer.write();
    } else {
        TreeWriter writer(document.tree(), stdout);
        writer.setChanges(&document.changes());
        if (options.format == ListingFormat::Text)
            writer.writeText();
        else
            writer.writeTsv();
    }
    std::fflush(stdout);

    tellSearched(document, controls);
    tellFilters(document);
    const TreeComparison::Summary& sum = document.summary();
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
    QtPrintBackend backend;
    if (options.print && options.printerName.isEmpty() && backend.defaultPrinterName().isEmpty()) {
        printError(QStringLiteral("quillmap_list: There is no default printer."));
        return 2;
    }
    if (!options.printerName.isEmpty() && QPrinterInfo::printerInfo(options.printerName).isNull()) {
        printError(QStringLiteral("quillmap_list: There is no printer named %1.")
                       .arg(options.printerName));
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

    ListingDocument document;
    ListControls controls(options);
    if (!loadFolder(document, options, controls, false))
        return 2;
    const ScanReport& report = document.record().report;
    if (options.order != SortOrder())
        document.sort(options.order);

    if (printing) {
        const auto print =
            NewDirectoryPrint(document.tree(), options.printSettings, document.record().details,
                              document.record().filters.heading());
        print->setPageRange(options.firstPage, options.lastPage);
        QString error;
        bool printed = true;
        if (!options.pdfFile.isEmpty())
            printed =
                PrintToPdfFile(*print, backend, options.pdfFile, backend.printLayout(), &error);
        if (printed && options.print)
            printed = PrintToPrinter(*print, backend, options.printerName, &error);
        tellSearched(document, controls);
        if (!printed) {
            printError(QStringLiteral("quillmap_list: ") + error);
            return 2;
        }
        return report.problems.isEmpty() ? 0 : 1;
    }

    ListingExport::write(options.format, document.tree(), document.record(), stdout, options.totals,
                         options.human);

    tellSearched(document, controls);
    if (std::ferror(stdout)) {
        printError(QStringLiteral("quillmap_list: could not write the listing"));
        return 2;
    }
    return report.problems.isEmpty() ? 0 : 1;
}
