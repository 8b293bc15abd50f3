#pragma once

#include "printing/PrintBackend.h"

class QPrinter;

namespace quillmap {

// The print jobs' backend on Qt's print support: the system's printers through CUPS, and PDF
// files written by the direct PDF stream device where the print font covers every text (many
// times faster), else by Qt's PDF writer.
class QtPrintBackend : public PrintBackend
{
public:
    QString defaultPrinterName() const override;
    QPageLayout printLayout() const override;
    QPageLayout localeLayout() const override;
    std::unique_ptr<PrinterDevice> newPdfDevice(QIODevice& out, const QPageLayout& layout,
                                                const QString& title,
                                                const QString& outputName) override;
    std::unique_ptr<PrinterDevice> newPrinterDevice(const QString& printerName,
                                                    const QString& title, QString* error) override;
    std::unique_ptr<PrinterDevice> newCountingDevice(const QPageLayout& layout) override;

    // Gives `printer` the document name `title` and the paper every print of the tree uses (the
    // printer's default paper, else the locale's) with this program's margins: for a printer
    // the window's dialogs chose.
    static void preparePrinter(QPrinter& printer, const QString& title);
};

} // namespace quillmap
