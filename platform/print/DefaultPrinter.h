#pragma once

#include <QString>

class QPageLayout;
class QPrinter;

namespace quillmap {

class CPrintTvw;

// The default printer of the system (CUPS, through Qt's print support).
//
// DefaultPrinterName: the default queue's name, empty when there is none.
// PrintToDefaultPrinter: prints `print` as one job on the default printer, with no dialog, on
// the printer's default paper and this program's margins. Returns false with `error` set when
// there is no default printer or the print fails. The job has been handed to the print system
// when it returns true.
// PreparePrinter: gives `printer` the document name and the paper every print of the tree uses
// (the printer's default paper, else the locale's) with this program's margins.
// PrintOnPrinter: prints `print` on a prepared printer (the default one, a print preview's or
// the one a print dialog chose) as one document.
QString DefaultPrinterName();
// PrintLayout: the paper and margins of every print and PDF of the tree, so that the printer,
// the preview and a PDF file give the same pages: the default printer's paper with this
// program's margins as that printer can print them, else the locale's paper.
QPageLayout PrintLayout();
bool PrintToDefaultPrinter(CPrintTvw& print, QString* error);
void PreparePrinter(QPrinter& printer, const CPrintTvw& print);
bool PrintOnPrinter(CPrintTvw& print, QPrinter& printer, QString* error);

} // namespace quillmap
