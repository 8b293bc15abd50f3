#include "platform/print/QtPrintBackend.h"

#include "platform/print/CountingPrinterDevice.h"
#include "platform/print/PainterPrinterDevice.h"
#include "platform/print/PdfStreamPrinterDevice.h"
#include "platform/print/PrintFont.h"
#include "support/ProductNames.h"

#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

namespace quillmap {

namespace {

void applyLayout(QPrinter& printer)
{
    const QPageSize paper = QPrinterInfo(printer).defaultPageSize();
    printer.setPageLayout(PainterPrinterDevice::standardLayout(
        paper.isValid() ? paper : PainterPrinterDevice::localePageSize()));
}

// Whether the PDF stream device can print: the print font is there with TrueType outlines.
// It prints every text, drawing characters the print font lacks in fallback fonts.
bool streamable(const PrintFont& font)
{
    return font.isValid() && font.hasTrueTypeOutlines(false) && font.hasTrueTypeOutlines(true);
}

// The devices below own what they draw through, which must be made before them.
struct OwnedFont
{
    std::unique_ptr<PrintFont> font;
};

class StreamPdfDevice : private OwnedFont, public PdfStreamPrinterDevice
{
public:
    StreamPdfDevice(std::unique_ptr<PrintFont> font, QIODevice& out, const QPageLayout& layout,
                    const QString& title)
        : OwnedFont{std::move(font)},
          PdfStreamPrinterDevice(out, *this->font, layout, title, QString::fromLatin1(kCreatorName))
    {
    }
};

struct OwnedPdfWriter
{
    explicit OwnedPdfWriter(QIODevice& out) : writer(&out) {}
    QPdfWriter writer;
};

class QtPdfDevice : private OwnedPdfWriter, public PainterPrinterDevice
{
public:
    QtPdfDevice(QIODevice& out, const QPageLayout& layout, const QString& title)
        : OwnedPdfWriter(out), PainterPrinterDevice(prepared(writer, layout, title))
    {
    }

private:
    static QPdfWriter& prepared(QPdfWriter& writer, const QPageLayout& layout, const QString& title)
    {
        writer.setTitle(title);
        writer.setCreator(QString::fromLatin1(kCreatorName));
        writer.setPageLayout(layout);
        return writer;
    }
};

struct OwnedPrinter
{
    explicit OwnedPrinter(const QPrinterInfo& info) : printer(info, QPrinter::HighResolution) {}
    QPrinter printer;
};

class PrinterJobDevice : private OwnedPrinter, public PainterPrinterDevice
{
public:
    PrinterJobDevice(const QPrinterInfo& info, const QString& title)
        : OwnedPrinter(info), PainterPrinterDevice(prepared(printer, title))
    {
    }

private:
    static QPrinter& prepared(QPrinter& printer, const QString& title)
    {
        QtPrintBackend::preparePrinter(printer, title);
        return printer;
    }
};

} // namespace

QString QtPrintBackend::defaultPrinterName() const
{
    return QPrinterInfo::defaultPrinterName();
}

QPageLayout QtPrintBackend::printLayout() const
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return localeLayout();
    // The layout the printer takes, its margins raised to what it can print.
    QPrinter printer(info, QPrinter::HighResolution);
    applyLayout(printer);
    return printer.pageLayout();
}

QPageLayout QtPrintBackend::localeLayout() const
{
    return PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize());
}

std::unique_ptr<PrinterDevice> QtPrintBackend::newPdfDevice(QIODevice& out,
                                                            const QPageLayout& layout,
                                                            const QString& title,
                                                            const QString& outputName)
{
    auto font = std::make_unique<PrintFont>();
    if (!streamable(*font))
        return std::make_unique<QtPdfDevice>(out, layout, title);
    auto device = std::make_unique<StreamPdfDevice>(std::move(font), out, layout, title);
    device->setOutputName(outputName);
    return device;
}

std::unique_ptr<PrinterDevice>
QtPrintBackend::newPrinterDevice(const QString& printerName, const QString& title, QString* error)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (info.isNull()) {
        if (error)
            *error = QStringLiteral("There is no printer named %1.").arg(printerName);
        return nullptr;
    }
    return std::make_unique<PrinterJobDevice>(info, title);
}

std::unique_ptr<PrinterDevice> QtPrintBackend::newCountingDevice(const QPageLayout& layout)
{
    return std::make_unique<CountingPrinterDevice>(layout);
}

void QtPrintBackend::preparePrinter(QPrinter& printer, const QString& title)
{
    printer.setDocName(title);
    printer.setCreator(QString::fromLatin1(kCreatorName));
    applyLayout(printer);
}

} // namespace quillmap
