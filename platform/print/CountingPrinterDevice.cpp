#include "platform/print/CountingPrinterDevice.h"

#include <algorithm>
#include <cmath>

namespace quillmap {

CountingPrinterDevice::CountingPrinterDevice(const QPageLayout& layout)
{
    // As the PDF and printer devices take it: whole twips of the layout's rectangles.
    const QRectF full = layout.fullRectPoints();
    const QRectF paint = layout.paintRectPoints();
    setPageGeometry(int(std::lround(full.width() * 20)), int(std::lround(full.height() * 20)),
                    int(std::lround(paint.width() * 20)), int(std::lround(paint.height() * 20)));
}

double CountingPrinterDevice::measureWidth(const QString& text)
{
    return m_font.textWidth(text, std::max(1.0, fontSize()), fontBold());
}

double CountingPrinterDevice::lineHeight()
{
    return m_font.lineHeight(std::max(1.0, fontSize()), fontBold());
}

} // namespace quillmap
