#pragma once

#include "printing/PrinterDevice.h"

#include <QString>

#include <vector>

namespace quillmap {

// A printer device that draws nothing and records every operation, for tests.
//
// Contract: metrics are exact and simple so expected positions can be worked out by hand: a line
// is fontSize × 20 twips high (one point per point), a text is fontSize × 10 twips wide per
// character. The sheet and printable area are given in twips. Operations are appended to
// ops() in the order they happen; endDoc() appends EndDoc and keeps the record.
class RecordingPrinterDevice : public PrinterDevice
{
public:
    struct Op
    {
        enum Kind
        {
            Text,
            Line,
            NewPage,
            FontSize,
            FontBold,
            DrawWidth,
            EndDoc
        };
        Kind kind = Text;
        int page = 0;
        double x = 0;
        double y = 0;
        double x2 = 0;
        double y2 = 0;
        QString text;
        double fontSize = 0;
        bool bold = false;
    };

    explicit RecordingPrinterDevice(int pageWidth = 12240, int pageHeight = 15840,
                                    int printableWidth = 11520, int printableHeight = 14400);

    const std::vector<Op>& ops() const { return m_ops; }
    void clear() { m_ops.clear(); }
    // Makes the n-th output operation (text, line or new page; 0-based) fail.
    void failAt(long n) { m_failAt = n; }
    // Stops recording lines and texts (still counts them), for very large documents.
    void setKeepOps(bool keep) { m_keep = keep; }
    long outputCount() const { return m_outputs; }
    int documentsEnded() const { return m_documents; }

protected:
    void fontChanged() override;
    void drawWidthChanged() override;
    double measureWidth(const QString& text) override;
    double lineHeight() override;
    bool drawText(double x, double y, const QString& text) override;
    bool drawSegment(double x1, double y1, double x2, double y2) override;
    bool newPage() override;
    bool finishDocument() override;

private:
    bool output();
    void record(Op op);

    std::vector<Op> m_ops;
    long m_failAt = -1;
    long m_outputs = 0;
    int m_documents = 0;
    int m_page = 1;
    bool m_keep = true;
    double m_lastSize = 0;
    bool m_lastBold = false;
};

} // namespace quillmap
