#pragma once

#include <QString>

#include <functional>

namespace quillmap {

// The printer device the tree printer draws on. Units are twips (1/1440 inch). X = 0, Y = 0 is
// the top-left corner of the printable area, printableWidth()/printableHeight() its size;
// pageWidth()/pageHeight() are the whole sheet's, for information only.
//
// Contract:
// - The device keeps the current position, the font (size in points, bold), the line width and
//   the page number (1 on the first page) for the length of one document.
// - printLine() puts the text with its top-left corner at the current position, then moves to
//   X = 0 one line lower (line height = the font's height). A line that would end below the
//   printable area less the bottom reserve first goes to the top (Y = 0) of a new page, keeping
//   X; a line at Y = 0 is printed where it is even when it is taller than the page.
// - The bottom reserve (0 at the start of every document) keeps a band at the foot of the
//   printable area free of flowing lines, for the footer.
// - printLineInPlace() is for page furniture (the footer): the same, but never starts a page, so
//   it can print below the printable area that the flowing lines fill.
// - drawLine() draws and never moves the current position or starts a page.
// - The page start callback, when set, runs each time a flowing line has started a new page,
//   before that line is printed there: it puts the page's heading at the top (with
//   printLineInPlace() and drawLine()); the line then follows below it, at its own X and in
//   its own font.
// - A page range (setPageRange) prints only those pages: the others are laid out alike, but
//   nothing of them is drawn and no page is begun for them, so the device holds a document of
//   the pages in the range alone.
// - The document begins with the first output and ends with endDoc(); after endDoc() the device
//   is back at page 1, position (0, 0), ready for another document.
// - Failures are sticky: once an operation fails, it and every later one returns false and
//   errorString() says why. Nothing throws.
//
// Subclasses provide the drawing and the font metrics; the position and page logic lives here so
// that every device breaks pages the same way.
class PrinterDevice
{
public:
    virtual ~PrinterDevice();

    void setFontSize(double points);
    double fontSize() const { return m_fontSize; }
    void setFontBold(bool bold);
    bool fontBold() const { return m_fontBold; }
    // Line width in pixels of a 600 dpi device; the device scales it to its own resolution.
    void setDrawWidth(int width);
    int drawWidth() const { return m_drawWidth; }

    double currentX() const { return m_x; }
    double currentY() const { return m_y; }
    void setCurrentX(double x) { m_x = x; }
    void setCurrentY(double y) { m_y = y; }

    int pageWidth() const { return m_pageWidth; }
    int pageHeight() const { return m_pageHeight; }
    int printableWidth() const { return m_printableWidth; }
    int printableHeight() const { return m_printableHeight; }
    int page() const { return m_page; }
    void setBottomReserve(double twips) { m_bottomReserve = twips; }

    // Width and height of `text` in the current font.
    double textWidth(const QString& text);
    double textHeight(const QString& text);

    bool printLine(const QString& text);
    void setPageStart(std::function<bool()> callback) { m_pageStart = std::move(callback); }
    // Pages `first` to `last` (from 1; 0 leaves that end open) are drawn, for the rest of this
    // document and the next ones; whether the page laid out now is past the last of them.
    void setPageRange(int first, int last);
    bool pastPageRange() const { return m_lastPage > 0 && m_page > m_lastPage; }
    // The number of pages the last document ended had, those out of the range included.
    int lastDocumentPages() const { return m_lastDocumentPages; }
    bool printLineInPlace(const QString& text);
    bool drawLine(double x1, double y1, double x2, double y2);
    bool endDoc();
    // Withdraws a document left open by a failed or cancelled print: a printer's job is
    // cancelled rather than sent. Nothing else is asked of the device afterwards.
    virtual void abort() {}

    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }

protected:
    // Sheet and printable area in twips; subclasses set them before the first output.
    void setPageGeometry(int pageWidth, int pageHeight, int printableWidth, int printableHeight);
    void fail(const QString& error);

    // The current font changed (size or bold); metrics that follow use the new one.
    virtual void fontChanged() {}
    virtual void drawWidthChanged() {}
    virtual double measureWidth(const QString& text) = 0;
    virtual double lineHeight() = 0;
    // Called once before the first output of a document.
    virtual bool beginDocument() { return true; }
    virtual bool drawText(double x, double y, const QString& text) = 0;
    virtual bool drawSegment(double x1, double y1, double x2, double y2) = 0;
    virtual bool newPage() = 0;
    virtual bool finishDocument() = 0;

private:
    bool ensureBegun();
    bool putLine(const QString& text, double height);
    bool drawn(int page) const
    {
        return page >= m_firstPage && (m_lastPage <= 0 || page <= m_lastPage);
    }

    double m_x = 0;
    double m_y = 0;
    double m_fontSize = 0;
    bool m_fontBold = false;
    int m_drawWidth = 1;
    int m_page = 1;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    int m_printableWidth = 0;
    int m_printableHeight = 0;
    double m_bottomReserve = 0;
    bool m_begun = false;
    std::function<bool()> m_pageStart;
    int m_firstPage = 1;
    int m_lastPage = 0;
    int m_lastDocumentPages = 0;
    QString m_error;
};

} // namespace quillmap
