#include "tests/common/RecordingPrinterDevice.h"

namespace quillmap {

RecordingPrinterDevice::RecordingPrinterDevice(int pageWidth, int pageHeight, int printableWidth,
                                               int printableHeight)
{
    setPageGeometry(pageWidth, pageHeight, printableWidth, printableHeight);
}

void RecordingPrinterDevice::fontChanged()
{
    // Record only real changes of each attribute, with the order they were made in.
    if (fontSize() != m_lastSize || m_ops.empty()) {
        Op op;
        op.kind = Op::FontSize;
        op.fontSize = fontSize();
        record(op);
        m_lastSize = fontSize();
    }
    if (fontBold() != m_lastBold) {
        Op op;
        op.kind = Op::FontBold;
        op.bold = fontBold();
        record(op);
        m_lastBold = fontBold();
    }
}

void RecordingPrinterDevice::drawWidthChanged()
{
    Op op;
    op.kind = Op::DrawWidth;
    op.x = drawWidth();
    record(op);
}

double RecordingPrinterDevice::measureWidth(const QString& text)
{
    return text.size() * fontSize() * 10;
}

double RecordingPrinterDevice::lineHeight()
{
    return fontSize() * 20;
}

bool RecordingPrinterDevice::output()
{
    return m_outputs++ != m_failAt;
}

void RecordingPrinterDevice::record(Op op)
{
    op.page = m_page;
    if (op.kind != Op::FontSize)
        op.fontSize = fontSize();
    if (op.kind != Op::FontBold)
        op.bold = fontBold();
    m_ops.push_back(std::move(op));
}

bool RecordingPrinterDevice::drawText(double x, double y, const QString& text)
{
    if (!output())
        return false;
    if (m_keep) {
        Op op;
        op.kind = Op::Text;
        op.x = x;
        op.y = y;
        op.text = text;
        record(op);
    }
    return true;
}

bool RecordingPrinterDevice::drawSegment(double x1, double y1, double x2, double y2)
{
    if (!output())
        return false;
    if (m_keep) {
        Op op;
        op.kind = Op::Line;
        op.x = x1;
        op.y = y1;
        op.x2 = x2;
        op.y2 = y2;
        record(op);
    }
    return true;
}

bool RecordingPrinterDevice::newPage()
{
    if (!output())
        return false;
    ++m_page;
    record(Op{Op::NewPage, 0, 0, 0, 0, 0, {}, 0, false});
    return true;
}

bool RecordingPrinterDevice::finishDocument()
{
    record(Op{Op::EndDoc, 0, 0, 0, 0, 0, {}, 0, false});
    ++m_documents;
    m_page = 1;
    return true;
}

} // namespace quillmap
