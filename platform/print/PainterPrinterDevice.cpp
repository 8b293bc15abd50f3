#include "platform/print/PainterPrinterDevice.h"

#include <QLocale>
#include <QPagedPaintDevice>
#include <QPen>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace quillmap {

namespace {

// Margins in points, within what common printers can print. Everything, the footer included,
// is printed inside them.
constexpr double kTopMargin = 18;
constexpr double kBottomMargin = 18;
constexpr double kSideMargin = 36;

int toTwips(double points)
{
    return static_cast<int>(std::lround(points * 20));
}

} // namespace

PainterPrinterDevice::PainterPrinterDevice(QPagedPaintDevice& device) : m_device(device)
{
    const QPageLayout layout = device.pageLayout();
    const QRectF full = layout.fullRectPoints();
    const QRectF paint = layout.paintRectPoints();
    setPageGeometry(toTwips(full.width()), toTwips(full.height()), toTwips(paint.width()),
                    toTwips(paint.height()));
    m_dpiX = std::max(1, device.logicalDpiX());
    m_dpiY = std::max(1, device.logicalDpiY());
    m_font = QFont(fontFamily());
    // Names are printed as they are: no ligatures ("fi" must stay two letters a reader can
    // search for), and no shaping work where the script needs none.
    m_font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::PreferNoShaping));
    fontChanged();
}

PainterPrinterDevice::~PainterPrinterDevice()
{
    if (m_painter.isActive())
        m_painter.end();
}

void PainterPrinterDevice::abort()
{
    if (m_device.devType() == QInternal::Printer)
        static_cast<QPrinter&>(m_device).abort();
}

QPageLayout PainterPrinterDevice::standardLayout(const QPageSize& size)
{
    return QPageLayout(size, QPageLayout::Portrait,
                       QMarginsF(kSideMargin, kTopMargin, kSideMargin, kBottomMargin),
                       QPageLayout::Point);
}

QPageSize PainterPrinterDevice::localePageSize()
{
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                         ? QPageSize::Letter
                         : QPageSize::A4);
}

QString PainterPrinterDevice::fontFamily()
{
    return PrintFont::family();
}

void PainterPrinterDevice::fontChanged()
{
    // A size of 0 or less is passed on by the engine unchanged; print it at the smallest
    // size a font can have instead of refusing the document.
    m_font.setPointSizeF(std::max(1.0, fontSize()));
    m_font.setBold(fontBold());
    m_metrics.emplace(m_font, &m_device);
    if (m_painter.isActive())
        m_painter.setFont(m_font);
}

void PainterPrinterDevice::drawWidthChanged()
{
    if (m_painter.isActive())
        applyPen();
}

void PainterPrinterDevice::applyPen()
{
    QPen pen(Qt::black);
    pen.setWidthF(std::max(1, drawWidth()) * m_dpiX / 600.0);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
}

double PainterPrinterDevice::measureWidth(const QString& text)
{
    // The print font's measure, fallback fonts included, as the PDF stream device's.
    if (m_printFont.isValid())
        return m_printFont.textWidth(text, std::max(1.0, fontSize()), fontBold());
    return m_metrics->horizontalAdvance(text) * 1440.0 / m_dpiX;
}

double PainterPrinterDevice::lineHeight()
{
    if (m_printFont.isValid())
        return m_printFont.lineHeight(std::max(1.0, fontSize()), fontBold());
    return m_metrics->height() * 1440.0 / m_dpiY;
}

bool PainterPrinterDevice::beginDocument()
{
    if (!m_painter.begin(&m_device)) {
        fail(QStringLiteral("The printer could not start the document (is the printer or the "
                            "file available?)."));
        return false;
    }
    m_painter.setFont(m_font);
    applyPen();
    return true;
}

bool PainterPrinterDevice::drawText(double x, double y, const QString& text)
{
    const double ascent = m_printFont.isValid()
                              ? toPixelsY(m_printFont.ascent(std::max(1.0, fontSize()), fontBold()))
                              : m_metrics->ascent();
    m_painter.drawText(QPointF(toPixelsX(x), toPixelsY(y) + ascent), text);
    return true;
}

bool PainterPrinterDevice::drawSegment(double x1, double y1, double x2, double y2)
{
    m_painter.drawLine(QPointF(toPixelsX(x1), toPixelsY(y1)),
                       QPointF(toPixelsX(x2), toPixelsY(y2)));
    return true;
}

bool PainterPrinterDevice::newPage()
{
    return m_device.newPage();
}

bool PainterPrinterDevice::finishDocument()
{
    return m_painter.end();
}

} // namespace quillmap
