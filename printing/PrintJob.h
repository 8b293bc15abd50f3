#pragma once

#include <QPageLayout>
#include <QString>

namespace quillmap {

class CPrintTvw;
class PrintBackend;

// The print jobs: a CPrintTvw run on a device of the platform's `backend`, for the window and
// quillmap_list alike.
//
// PrintToPdfFile: prints `print` into the PDF file `path` on `layout` (the locale's paper when
// none is given). The file is written in full first and put in place when complete
// (SafeFile), so a failed print leaves what was at `path` as it was. Returns false with `error`
// set when the file can't be written or the print is rejected; `systemError`, when given, is
// then the system error number of the file's failure (0 when the print itself failed).
// PrintToPrinter: prints `print` as one job on the printer `printerName` (the default printer
// when empty), with no dialog; false with `error` set when there is no such printer or the print
// fails, the job then withdrawn. The job has been handed to the print system when it returns
// true.
// CountPages: the number of pages `print` makes on `layout`, all of them whatever its page range,
// laid out as the PDF and printer devices lay them out; 0 with `error` set when the print fails
// or is cancelled (its page-done callback is called as in a print).
// DocumentsPdfPath: a new file name in the user's documents folder (made if missing; the home
// folder when there is none) for a print named `title`, with the date and time, never the name
// of an existing file.
// PdfFileName: the title as a file name, without the "/" (nor "\\", ":", control characters)
// that would make it a path.
bool PrintToPdfFile(CPrintTvw& print, PrintBackend& backend, const QString& path,
                    const QPageLayout& layout, QString* error, int* systemError = nullptr);
bool PrintToPdfFile(CPrintTvw& print, PrintBackend& backend, const QString& path, QString* error,
                    int* systemError = nullptr);
bool PrintToPrinter(CPrintTvw& print, PrintBackend& backend, const QString& printerName,
                    QString* error);
int CountPages(CPrintTvw& print, PrintBackend& backend, const QPageLayout& layout,
               QString* error = nullptr);
QString DocumentsPdfPath(const QString& title);
QString PdfFileName(const QString& title);

} // namespace quillmap
