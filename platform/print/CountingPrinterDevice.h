#pragma once

#include "platform/print/PrintFont.h"
#include "printing/PrinterDevice.h"

#include <QPageLayout>

namespace quillmap {

// A printer device that lays pages out as the PDF and printer devices do, on the printable
// area of a page layout with the print font's metrics, and draws nothing: the pages a print
// will make, counted before it is made (lastDocumentPages()).
class CountingPrinterDevice : public PrinterDevice
{
public:
    explicit CountingPrinterDevice(const QPageLayout& layout);

protected:
    double measureWidth(const QString& text) override;
    double lineHeight() override;
    bool drawText(double, double, const QString&) override { return true; }
    bool drawSegment(double, double, double, double) override { return true; }
    bool newPage() override { return true; }
    bool finishDocument() override { return true; }

private:
    PrintFont m_font;
};

} // namespace quillmap
