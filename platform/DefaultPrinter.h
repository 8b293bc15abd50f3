#pragma once

#include <QString>

namespace quillmap {

class CPrintTvw;

// The default printer of the system (CUPS, through Qt's print support).
//
// DefaultPrinterName: the default queue's name, empty when there is none.
// PrintToDefaultPrinter: prints `print` as one job on the default printer, with no dialog, on
// the printer's default paper and this program's margins. Returns false with `error` set when
// there is no default printer or the print fails. The job has been handed to the print system
// when it returns true.
QString DefaultPrinterName();
bool PrintToDefaultPrinter(CPrintTvw& print, QString* error);

} // namespace quillmap
