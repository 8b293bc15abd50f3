#pragma once

#include "listing/ListingExport.h"
#include "listing/TreeSort.h"
#include "printing/PrintSettings.h"
#include "scan/DetailTicks.h"
#include "scan/ScanFilters.h"

#include <QString>

#include <string>

namespace quillmap {

// The command line of quillmap_list, parsed in one place. New options go into the table in
// ListOptions.cpp and a field here.
struct ListOptions
{
    QString levels = QStringLiteral("ALL"); // as the Levels box starts
    QString types = QStringLiteral("*.*");  // as the File Types box starts
    DetailTicks details;                    // nothing ticked
    ListingFormat format = ListingFormat::Text;
    bool totals = false; // --totals: folder totals in the text format
    bool human = false;  // -h: sizes in K, M, G
    std::string folder;  // file-system bytes, absolute and normalised
    QString pdfFile;     // --pdf: print the tree into this PDF file instead of listing it
    bool print = false;  // --print: print the tree on the default printer instead of listing it
    QString printerName; // --printer: print on this printer (empty: the default one)
    PrintSettings printSettings; // --layout, --font-size, --regular, --no-footer
    int firstPage = 0;           // --pages: the pages printed (0: that end open)
    int lastPage = 0;
    QString printOnlyOption;  // the first option that is only for printing, for the usage error
    std::string compareWith;  // --compare: a saved listing (file-system bytes) to compare with
    bool changedOnly = false; // --changed-only: with --compare, leave out what is the same
    ScanFilters filters;      // --exclude, --hidden, --gitignore, ...: what the search lists
    SortOrder order;          // --sort, --reverse

    bool help = false;
    bool version = false;

    // Parses argv[1..]. Returns an empty text on success, else what is wrong (a usage error).
    QString parse(int argc, char** argv);

    static QString helpText();
    // Reads a --details value; returns an empty text or the usage error.
    static QString parseDetails(const QString& list, DetailTicks& out);
    // Why an exclusion pattern can't be used, in English; empty when it can.
    static QString patternError(const QString& pattern);
};

} // namespace quillmap
