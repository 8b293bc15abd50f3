#pragma once

#include "platform/print/PrintFont.h"
#include "printing/PrinterDevice.h"

#include <QByteArray>
#include <QPageLayout>
#include <QString>

#include <memory>
#include <vector>

class QIODevice;
struct z_stream_s;

namespace quillmap {

// A printer device that writes a PDF file itself, page by page, for long listings: one text
// run per line in the embedded print font (regular and bold), lines as strokes. Each page is
// written out when the next begins, so memory does not grow with the page count. Metrics come
// from PrintFont, as the QPainter device's do, so both devices give the same pages.
//
// Characters the print font lacks are drawn in the fallback fonts PrintFont finds, each embedded
// like the print font; where no font has one, the print font's box stands in. Every font is
// cut down to the glyphs used. The text layer holds every character as it is: a glyph that
// stands for another character than its first use (or a box) carries the character with it.
//
// Contract: `out` is open for writing and outlives the device; `font` outlives it too. Writing
// errors fail the device.
class PdfStreamPrinterDevice : public PrinterDevice
{
public:
    PdfStreamPrinterDevice(QIODevice& out, const PrintFont& font, const QPageLayout& layout,
                           const QString& title, const QString& creator);
    ~PdfStreamPrinterDevice() override;

    // The file's name, for the message when writing fails.
    void setOutputName(const QString& name) { m_outputName = name; }

protected:
    double measureWidth(const QString& text) override;
    double lineHeight() override;
    bool beginDocument() override;
    bool drawText(double x, double y, const QString& text) override;
    bool drawSegment(double x1, double y1, double x2, double y2) override;
    bool newPage() override;
    bool finishDocument() override;

private:
    // One font of the PDF: /F0 the print font, /F1 its bold, /F2... the fallback faces.
    struct UsedFont
    {
        bool used = false;
        std::vector<int> unicode; // per glyph id: its character, -1 when unused, -2 when none
        std::vector<float> width; // per glyph id, 1/1000 em
    };

    double size() const;
    int newObject();
    bool beginObject(int id);
    bool write(const QByteArray& bytes);
    bool deflate(const QByteArray& data);
    bool writeStream(int id, const QByteArray& dict, const QByteArray& data, bool compress);
    bool flushPage();
    UsedFont& usedFont(int slot);
    bool writeFont(int slot, int type0Id);
    void number(double value);

    QIODevice& m_out;
    const PrintFont& m_font;
    QString m_title;
    QString m_creator;
    QString m_outputName;
    double m_sheetWidth = 0; // points
    double m_sheetHeight = 0;
    double m_left = 0;
    double m_top = 0;
    qint64 m_written = 0;
    std::vector<qint64> m_offsets; // by object id; 0 = not written
    std::vector<int> m_pageIds;
    QByteArray m_page; // content of the page being drawn
    bool m_pageOpen = false;
    std::vector<UsedFont> m_fonts;
    bool m_openTypeFonts = false; // an OpenType (CFF) font is embedded: the file is PDF 1.6
    std::vector<PrintFont::Glyph> m_glyphs;
    struct ZipEnd
    {
        void operator()(z_stream_s* zip) const;
    };
    std::unique_ptr<z_stream_s, ZipEnd> m_zip;
    QByteArray m_deflated;
};

} // namespace quillmap
