#include "platform/print/PdfFileJob.h"

#include "platform/print/PainterPrinterDevice.h"
#include "platform/print/PdfStreamPrinterDevice.h"
#include "platform/print/PrintFont.h"
#include "platform/tree/NodeStore.h"
#include "printing/CPrintTvw.h"
#include "support/ProductNames.h"
#include "support/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
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

// Whether the PDF stream device can print: the print font is there with TrueType outlines.
// It prints every text, drawing characters the print font lacks in fallback fonts.
bool streamable(const PrintFont& font)
{
    return font.isValid() && font.hasTrueTypeOutlines(false) && font.hasTrueTypeOutlines(true);
}

} // namespace

bool PrintToPdfFile(CPrintTvw& print, const QString& path, QString* error, int* systemError)
{
    return PrintToPdfFile(
        print, path, PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize()),
        error, systemError);
}

bool PrintToPdfFile(CPrintTvw& print, const QString& path, const QPageLayout& layout,
                    QString* error, int* systemError)
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
    const QString creator = QString::fromLatin1(kCreatorName);
    const PrintFont font;
    bool ok = false;
    if (streamable(font)) {
        // Written directly, many times faster than through QPainter.
        PdfStreamPrinterDevice device(file.device(), font, layout, print.Title(), creator);
        device.setOutputName(path);
        ok = print.PrintTvw(device);
    } else {
        QPdfWriter writer(&file.device());
        writer.setTitle(print.Title());
        writer.setCreator(creator);
        writer.setPageLayout(layout);
        PainterPrinterDevice device(writer);
        ok = print.PrintTvw(device);
    }
    // A failed write is the file's failure, whatever the print made of it.
    QString message = print.errorString();
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
