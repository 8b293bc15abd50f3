#pragma once

#include <QPageLayout>
#include <QString>

namespace quillmap {

class CPrintTvw;

// The printer side of printing: the devices a CPrintTvw draws on (a QPainter device for Qt's
// printers and PDF writer, and a direct PDF stream writer for long listings), the print font,
// the system's default printer, and the print jobs that pick a device and run the engine on it.
//
// PrintToPdfFile: prints `print` into the PDF file `path` on the locale's paper size, through
// the direct PDF writer when the print font covers every text, else through Qt's PDF writer.
// The file is written in full first and put in place when complete (SafeFile), so a failed
// print leaves what was at `path` as it was. Returns false with `error` set when the file can't
// be written or the print is rejected; `systemError`, when given, is then the system error
// number of the file's failure (0 when the print itself failed).
// DocumentsPdfPath: a new file name in the user's documents folder (made if missing; the home
// folder when there is none) for a print named `title`, with the date and time, never the name
// of an existing file.
// PdfFileName: the title as a file name, without the "/" (nor "\\", ":", control characters)
// that would make it a path.
bool PrintToPdfFile(CPrintTvw& print, const QString& path, QString* error,
                    int* systemError = nullptr);
// The same on `layout` (the printer's, for the same pages as on paper).
bool PrintToPdfFile(CPrintTvw& print, const QString& path, const QPageLayout& layout,
                    QString* error, int* systemError = nullptr);
QString DocumentsPdfPath(const QString& title);
QString PdfFileName(const QString& title);

} // namespace quillmap
