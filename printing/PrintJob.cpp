#include "printing/PrintJob.h"

#include "printing/CPrintTvw.h"
#include "printing/PrintBackend.h"
#include "printing/PrinterDevice.h"
#include "support/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillmap {

namespace {

// A new file in `folder` named after the title and the time; " (2)", " (3)", ... keep a second
// print in the same second from replacing the first.
QString uniquePdfPath(const QString& folder, const QString& title)
{
    QString name = PdfFileName(title);
    name += QDateTime::currentDateTime().toString(QStringLiteral(" yyyy-MM-dd hh.mm.ss"));
    const QDir dir(folder);
    QString path = dir.filePath(name + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(name + QStringLiteral(" (%1).pdf").arg(n));
    return path;
}

// A page range that starts past the document's end prints nothing: a failure, not an empty
// document.
bool pagesPrinted(const CPrintTvw& print, const PrinterDevice& device, QString& error)
{
    if (print.FirstPage() <= device.lastDocumentPages())
        return true;
    error = QStringLiteral("The tree makes %1 pages: there is no page %2 to print.")
                .arg(device.lastDocumentPages())
                .arg(print.FirstPage());
    return false;
}

} // namespace

bool PrintToPdfFile(CPrintTvw& print, PrintBackend& backend, const QString& path, QString* error,
                    int* systemError)
{
    return PrintToPdfFile(print, backend, path, backend.localeLayout(), error, systemError);
}

bool PrintToPdfFile(CPrintTvw& print, PrintBackend& backend, const QString& path,
                    const QPageLayout& layout, QString* error, int* systemError)
{
    if (systemError)
        *systemError = 0;
    // Written beside the target and put in place when complete: a failed or interrupted print
    // leaves whatever was there before.
    SafeFile file(path);
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        if (systemError)
            *systemError = file.systemError();
        return false;
    }
    bool ok = false;
    QString message;
    {
        const auto device = backend.newPdfDevice(file.device(), layout, print.Title(), path);
        ok = print.PrintTvw(*device);
        message = print.errorString();
        ok = ok && pagesPrinted(print, *device, message);
    }
    // A failed write is the file's failure, whatever the print made of it.
    if (!file.written() || (ok && !file.commit())) {
        ok = false;
        message = file.errorString();
        if (systemError)
            *systemError = file.systemError();
    }
    if (!ok) {
        file.abort();
        if (error)
            *error = message;
    }
    return ok;
}

bool PrintToPrinter(CPrintTvw& print, PrintBackend& backend, const QString& printerName,
                    QString* error)
{
    const QString name = printerName.isEmpty() ? backend.defaultPrinterName() : printerName;
    if (name.isEmpty()) {
        if (error)
            *error = QStringLiteral("There is no default printer.");
        return false;
    }
    QString why;
    const auto device = backend.newPrinterDevice(name, print.Title(), &why);
    if (device) {
        if (print.PrintTvw(*device) && pagesPrinted(print, *device, why))
            return true;
        device->abort();
        if (why.isEmpty())
            why = print.errorString();
    }
    if (error)
        *error = QStringLiteral("Printing on %1 failed: %2").arg(name, why);
    return false;
}

int CountPages(CPrintTvw& print, PrintBackend& backend, const QPageLayout& layout, QString* error)
{
    const int first = print.FirstPage();
    const int last = print.LastPage();
    print.setPageRange(0, 0);
    const auto device = backend.newCountingDevice(layout);
    const bool counted = print.PrintTvw(*device);
    print.setPageRange(first, last);
    if (!counted && error)
        *error = print.errorString();
    return counted ? device->lastDocumentPages() : 0;
}

QString PdfFileName(const QString& title)
{
    QString name = title;
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    name = name.simplified();
    if (name.size() > 120)
        name.truncate(120);
    return name;
}

QString DocumentsPdfPath(const QString& title)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    return uniquePdfPath(folder, title);
}

} // namespace quillmap
