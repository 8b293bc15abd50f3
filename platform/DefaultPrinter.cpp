#include "platform/DefaultPrinter.h"

#include "platform/PainterPrinterDevice.h"
#include "printing/CPrintTvw.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace quillmap {

QString DefaultPrinterName()
{
    return QPrinterInfo::defaultPrinterName();
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
    printer.setDocName(print.Title());
    printer.setCreator(QStringLiteral("Quillmap Print"));
    const QPageSize size = info.defaultPageSize().isValid()
                               ? info.defaultPageSize()
                               : PainterPrinterDevice::localePageSize();
    printer.setPageLayout(PainterPrinterDevice::standardLayout(size));
    bool ok = false;
    {
        PainterPrinterDevice device(printer);
        ok = print.PrintTvw(device);
        if (!ok)
            printer.abort();
    }
    if (!ok && error)
        *error = QStringLiteral("Printing on %1 failed: %2")
                     .arg(info.printerName(), print.errorString());
    return ok;
}

} // namespace quillmap
