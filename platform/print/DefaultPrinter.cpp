#include "platform/print/DefaultPrinter.h"

#include "platform/print/PainterPrinterDevice.h"
#include "printing/CPrintTvw.h"
#include "support/ProductNames.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace quillmap {

QString DefaultPrinterName()
{
    return QPrinterInfo::defaultPrinterName();
}

namespace {

void applyLayout(QPrinter& printer)
{
    const QPageSize paper = QPrinterInfo(printer).defaultPageSize();
    printer.setPageLayout(PainterPrinterDevice::standardLayout(
        paper.isValid() ? paper : PainterPrinterDevice::localePageSize()));
}

} // namespace

QPageLayout PrintLayout()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize());
    // The layout the printer takes, its margins raised to what it can print.
    QPrinter printer(info, QPrinter::HighResolution);
    applyLayout(printer);
    return printer.pageLayout();
}

void PreparePrinter(QPrinter& printer, const CPrintTvw& print)
{
    printer.setDocName(print.Title());
    printer.setCreator(QString::fromLatin1(kCreatorName));
    applyLayout(printer);
}

bool PrintOnPrinter(CPrintTvw& print, QPrinter& printer, QString* error)
{
    bool ok = false;
    {
        PainterPrinterDevice device(printer);
        ok = print.PrintTvw(device);
        if (!ok)
            printer.abort();
    }
    if (!ok && error)
        *error = print.errorString();
    return ok;
}

bool PrintToDefaultPrinter(CPrintTvw& print, QString* error)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        if (error)
            *error = QStringLiteral("There is no default printer.");
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    PreparePrinter(printer, print);
    QString why;
    if (PrintOnPrinter(print, printer, &why))
        return true;
    if (error)
        *error = QStringLiteral("Printing on %1 failed: %2").arg(info.printerName(), why);
    return false;
}

} // namespace quillmap
