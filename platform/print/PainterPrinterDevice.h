#pragma once

#include "platform/print/PrintFont.h"
#include "printing/PrinterDevice.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>

#include <optional>

class QPagedPaintDevice;

namespace quillmap {

// The printer device over a QPainter on a paged device: a QPdfWriter (a PDF file) or a
// QPrinter (a real printer). Twips are converted with the device's resolution; the printable
// area is the page layout's paint rectangle, the sheet its full rectangle. Line heights and
// widths come from PrintFont (so the pages match the PDF stream device's); Qt draws the text and
// falls back to other fonts for characters the print font lacks.
//
// Contract: the paged device must outlive this object and must not be painted on by anyone
// else meanwhile. The painter begins on the first output and ends at endDoc(); a document left
// open (after a failure) is ended when this object is destroyed.
class PainterPrinterDevice : public PrinterDevice
{
public:
    explicit PainterPrinterDevice(QPagedPaintDevice& device);
    ~PainterPrinterDevice() override;

    // The page layout every print of this program uses: `size`, portrait, margins that leave
    // the footer band below the lines and above the sheet's edge.
    static QPageLayout standardLayout(const QPageSize& size);
    // The paper size of the user's locale: Letter where US measures are used, else A4.
    static QPageSize localePageSize();
    // The family the tree is printed in.
    static QString fontFamily();

    // On a QPrinter, cancels the job.
    void abort() override;

protected:
    void fontChanged() override;
    void drawWidthChanged() override;
    double measureWidth(const QString& text) override;
    double lineHeight() override;
    bool beginDocument() override;
    bool drawText(double x, double y, const QString& text) override;
    bool drawSegment(double x1, double y1, double x2, double y2) override;
    bool newPage() override;
    bool finishDocument() override;

private:
    double toPixelsX(double twips) const { return twips * m_dpiX / 1440.0; }
    double toPixelsY(double twips) const { return twips * m_dpiY / 1440.0; }
    void applyPen();

    QPagedPaintDevice& m_device;
    QPainter m_painter;
    QFont m_font;
    PrintFont m_printFont; // the metrics, shared with the PDF stream device
    std::optional<QFontMetricsF> m_metrics;
    double m_dpiX = 1200;
    double m_dpiY = 1200;
};

} // namespace quillmap
