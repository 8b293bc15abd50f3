#include "printing/PrinterDevice.h"

#include <algorithm>

namespace quillmap {

PrinterDevice::~PrinterDevice() = default;

void PrinterDevice::setFontSize(double points)
{
    m_fontSize = points;
    fontChanged();
}

void PrinterDevice::setFontBold(bool bold)
{
    m_fontBold = bold;
    fontChanged();
}

void PrinterDevice::setDrawWidth(int width)
{
    m_drawWidth = width;
    drawWidthChanged();
}

double PrinterDevice::textWidth(const QString& text)
{
    return measureWidth(text);
}

double PrinterDevice::textHeight(const QString&)
{
    // Every text of one font takes one line of the same height.
    return lineHeight();
}

bool PrinterDevice::ensureBegun()
{
    if (failed())
        return false;
    if (!m_begun) {
        m_begun = true;
        if (!beginDocument()) {
            if (!failed())
                fail(QStringLiteral("The printer could not start the document."));
            return false;
        }
    }
    return true;
}

bool PrinterDevice::printLine(const QString& text)
{
    if (!ensureBegun())
        return false;
    double height = lineHeight();
    if (m_y > 0 && m_y + height > m_printableHeight - m_bottomReserve) {
        // A page out of the range is laid out on the page the device is on, drawing nothing.
        if (drawn(m_page) && drawn(m_page + 1) && !newPage()) {
            if (!failed())
                fail(QStringLiteral("The printer could not start page %1.").arg(m_page + 1));
            return false;
        }
        ++m_page;
        m_y = 0;
        if (m_pageStart) {
            const double x = m_x;
            const double size = m_fontSize;
            const bool bold = m_fontBold;
            if (!m_pageStart())
                return false;
            m_x = x;
            if (m_fontSize != size || m_fontBold != bold) {
                m_fontSize = size;
                m_fontBold = bold;
                fontChanged();
                height = lineHeight();
            }
        }
    }
    return putLine(text, height);
}

bool PrinterDevice::printLineInPlace(const QString& text)
{
    if (!ensureBegun())
        return false;
    return putLine(text, lineHeight());
}

bool PrinterDevice::putLine(const QString& text, double height)
{
    if (!text.isEmpty() && drawn(m_page) && !drawText(m_x, m_y, text)) {
        if (!failed())
            fail(QStringLiteral("The printer could not print on page %1.").arg(m_page));
        return false;
    }
    m_x = 0;
    m_y += height;
    return true;
}

bool PrinterDevice::drawLine(double x1, double y1, double x2, double y2)
{
    if (!ensureBegun())
        return false;
    if (drawn(m_page) && !drawSegment(x1, y1, x2, y2)) {
        if (!failed())
            fail(QStringLiteral("The printer could not draw on page %1.").arg(m_page));
        return false;
    }
    return true;
}

bool PrinterDevice::endDoc()
{
    if (!ensureBegun())
        return false;
    const bool ok = finishDocument();
    if (!ok && !failed())
        fail(QStringLiteral("The printer could not finish the document."));
    m_begun = false;
    m_lastDocumentPages = m_page;
    m_bottomReserve = 0;
    m_page = 1;
    m_x = 0;
    m_y = 0;
    return ok;
}

void PrinterDevice::setPageRange(int first, int last)
{
    m_firstPage = std::max(1, first);
    m_lastPage = std::max(0, last);
}

void PrinterDevice::setPageGeometry(int pageWidth, int pageHeight, int printableWidth,
                                    int printableHeight)
{
    m_pageWidth = pageWidth;
    m_pageHeight = pageHeight;
    m_printableWidth = printableWidth;
    m_printableHeight = printableHeight;
}

void PrinterDevice::fail(const QString& error)
{
    if (m_error.isEmpty())
        m_error = error;
}

} // namespace quillmap
