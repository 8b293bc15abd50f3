#include "platform/print/PdfStreamPrinterDevice.h"

#include "platform/print/FallbackFonts.h"
#include "platform/print/FontSubset.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <zlib.h>

namespace quillmap {

namespace {

constexpr int kCatalog = 1;
constexpr int kPages = 2;
constexpr int kResources = 3;
constexpr int kInfo = 4;

QByteArray hexUtf16(const QString& text)
{
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        out += QByteArray::number(c.unicode() | 0x10000, 16).mid(1).toUpper();
    return out + '>';
}

// A character as UTF-16 in hexadecimal digits (a surrogate pair past U+FFFF). Worked out here:
// QString::fromUcs4() takes a U+FEFF for a byte-order mark and drops it.
QByteArray utf16Hex(char32_t c)
{
    const auto unit = [](char16_t u) {
        return QByteArray::number(u | 0x10000, 16).mid(1).toUpper();
    };
    if (c <= 0xFFFF)
        return unit(char16_t(c));
    return unit(QChar::highSurrogate(c)) + unit(QChar::lowSurrogate(c));
}

QByteArray ref(int id)
{
    return QByteArray::number(id) + " 0 R";
}

} // namespace

PdfStreamPrinterDevice::PdfStreamPrinterDevice(QIODevice& out, const PrintFont& font,
                                               const QPageLayout& layout, const QString& title,
                                               const QString& creator)
    : m_out(out), m_font(font), m_title(title), m_creator(creator)
{
    const QRectF full = layout.fullRectPoints();
    const QRectF paint = layout.paintRectPoints();
    m_sheetWidth = full.width();
    m_sheetHeight = full.height();
    m_left = paint.left();
    m_top = paint.top();
    setPageGeometry(int(std::lround(full.width() * 20)), int(std::lround(full.height() * 20)),
                    int(std::lround(paint.width() * 20)), int(std::lround(paint.height() * 20)));
    m_offsets.assign(kInfo + 1, 0);
}

PdfStreamPrinterDevice::~PdfStreamPrinterDevice() = default;

double PdfStreamPrinterDevice::size() const
{
    // The engine passes sizes on unchanged; print 0 or less at the smallest size instead.
    return std::max(1.0, fontSize());
}

double PdfStreamPrinterDevice::measureWidth(const QString& text)
{
    return m_font.textWidth(text, size(), fontBold());
}

double PdfStreamPrinterDevice::lineHeight()
{
    return m_font.lineHeight(size(), fontBold());
}

int PdfStreamPrinterDevice::newObject()
{
    m_offsets.push_back(0);
    return int(m_offsets.size() - 1);
}

bool PdfStreamPrinterDevice::write(const QByteArray& bytes)
{
    if (m_out.write(bytes) != bytes.size()) {
        fail(QStringLiteral("Cannot write %1: %2")
                 .arg(m_outputName.isEmpty() ? QStringLiteral("the PDF file") : m_outputName,
                      m_out.errorString()));
        return false;
    }
    m_written += bytes.size();
    return true;
}

bool PdfStreamPrinterDevice::beginObject(int id)
{
    m_offsets[id] = m_written;
    return write(QByteArray::number(id) + " 0 obj\n");
}

void PdfStreamPrinterDevice::ZipEnd::operator()(z_stream_s* zip) const
{
    deflateEnd(zip);
    delete zip;
}

// `data` as a zlib stream in m_deflated. One compressor serves the whole document: one per page
// took a quarter megabyte and gave it back each time, which the C library returned to the system
// and asked for again, page after page (most of the time the writer took).
bool PdfStreamPrinterDevice::deflate(const QByteArray& data)
{
    if (!m_zip) {
        m_zip.reset(new z_stream{});
        if (deflateInit(m_zip.get(), 1) != Z_OK) {
            delete m_zip.release(); // nothing to end
            return false;
        }
    } else if (deflateReset(m_zip.get()) != Z_OK) {
        return false;
    }
    m_deflated.resize(qsizetype(deflateBound(m_zip.get(), uLong(data.size()))));
    m_zip->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    m_zip->avail_in = uInt(data.size());
    m_zip->next_out = reinterpret_cast<Bytef*>(m_deflated.data());
    m_zip->avail_out = uInt(m_deflated.size());
    const bool done = ::deflate(m_zip.get(), Z_FINISH) == Z_STREAM_END;
    m_deflated.resize(qsizetype(m_zip->total_out));
    return done;
}

bool PdfStreamPrinterDevice::writeStream(int id, const QByteArray& dict, const QByteArray& data,
                                         bool compress)
{
    if (compress && !deflate(data)) {
        fail(QStringLiteral("The PDF data could not be compressed."));
        return false;
    }
    const QByteArray& body = compress ? m_deflated : data;
    return beginObject(id) &&
           write("<<" + dict + (compress ? " /Filter /FlateDecode" : "") + " /Length " +
                 QByteArray::number(body.size()) + " >>\nstream\n") &&
           write(body) && write("\nendstream\nendobj\n");
}

void PdfStreamPrinterDevice::number(double value)
{
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    m_page.append(buffer, result.ptr - buffer);
}

bool PdfStreamPrinterDevice::beginDocument()
{
    m_written = 0;
    m_offsets.assign(kInfo + 1, 0);
    m_pageIds.clear();
    m_fonts.clear();
    m_openTypeFonts = false;
    if (!write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"))
        return false;
    m_page.clear();
    m_pageOpen = true;
    return true;
}

PdfStreamPrinterDevice::UsedFont& PdfStreamPrinterDevice::usedFont(int slot)
{
    if (int(m_fonts.size()) <= slot)
        m_fonts.resize(slot + 1);
    UsedFont& used = m_fonts[slot];
    if (!used.used) {
        int count = 0;
        if (slot < 2) {
            const QByteArray maxp = m_font.raw(slot == 1).fontTable("maxp");
            count = maxp.size() >= 6 ? int(qFromBigEndian<quint16>(maxp.constData() + 4)) : 65536;
        } else {
            count = m_font.fallback().glyphCount(slot - 2);
        }
        used.unicode.assign(std::max(1, count), -1);
        used.width.assign(std::max(1, count), -1);
        used.used = true;
    }
    return used;
}

bool PdfStreamPrinterDevice::drawText(double x, double y, const QString& text)
{
    const bool bold = fontBold();
    m_font.layout(text, bold, m_glyphs);
    static const char kHex[] = "0123456789ABCDEF";
    const auto hex4 = [&](quint32 g) {
        const char hex[4] = {kHex[(g >> 12) & 15], kHex[(g >> 8) & 15], kHex[(g >> 4) & 15],
                             kHex[g & 15]};
        m_page.append(hex, 4);
    };
    int current = -1;    // the font slot selected in this text object
    bool open = false;   // a "<...> Tj" is open
    bool inSpan = false; // a span with the actual text of a cluster is open
    const auto closeRun = [&] {
        if (open)
            m_page += "> Tj ";
        open = false;
    };
    m_page += "BT ";
    for (const PrintFont::Glyph& glyph : m_glyphs) {
        // The further glyphs of a cluster go in the span its first glyph opened.
        const bool continues = inSpan && glyph.character == 0 && glyph.clusterLength == 0;
        if (inSpan && !continues) {
            closeRun();
            m_page += "EMC ";
            inSpan = false;
        }
        const int slot = glyph.font >= 0 ? glyph.font + 2 : (bold ? 1 : 0);
        UsedFont& used = usedFont(slot);
        const quint32 g = glyph.id < used.unicode.size() ? glyph.id : 0;
        int& mapped = used.unicode[g];
        // The text layer gets the character from the font's map, unless the glyph already stands
        // for another one there (or for none: the box): then it comes with the glyph, in a span
        // around it. A cluster (a ligature, a letter with its marks, a conjunct, in one glyph or
        // several) gets one span around all its glyphs.
        bool actual = !continues && (glyph.font == PrintFont::kNoFont || glyph.character == 0 ||
                                     glyph.clusterLength > 0);
        if (!actual && !continues) {
            if (mapped < 0)
                mapped = int(glyph.character);
            actual = mapped != int(glyph.character);
        } else if (mapped == -1) {
            mapped = -2;
        }
        // The font gives a glyph one width; where it is placed otherwise (a mark on its
        // letter, a shaped advance), it is moved to its place and the pen on to where the
        // shaper puts it.
        float& width = used.width[g];
        if (width < 0)
            width = glyph.advance;
        const double shift = glyph.xOffset;
        const double rest = shift + width - glyph.advance;
        const bool placed = shift != 0 || std::abs(rest) > 0.01 || glyph.yOffset != 0;
        if (slot != current || actual || placed)
            closeRun();
        if (slot != current) {
            m_page += "/F";
            m_page += QByteArray::number(slot);
            m_page += ' ';
            number(size());
            m_page += " Tf ";
            if (current < 0) {
                number(m_left + x / 20);
                m_page += ' ';
                number(m_sheetHeight - m_top - (y + m_font.ascent(size(), bold)) / 20);
                m_page += " Td ";
            }
            current = slot;
        }
        const quint32 code = slot < 2 ? g : m_font.fallback().code(slot - 2, g);
        if (actual) {
            m_page += "/Span << /ActualText <FEFF";
            if (glyph.clusterLength > 0)
                for (const QChar unit : QStringView(text).mid(glyph.textAt, glyph.clusterLength))
                    m_page += QByteArray::number(unit.unicode() | 0x10000, 16).mid(1).toUpper();
            else if (glyph.character != 0)
                m_page += utf16Hex(glyph.character);
            m_page += "> >> BDC ";
            inSpan = true;
        }
        if (placed) {
            if (glyph.yOffset != 0) {
                number(glyph.yOffset * size() / 1000);
                m_page += " Ts ";
            }
            m_page += '[';
            if (shift != 0) {
                number(-shift);
                m_page += ' ';
            }
            m_page += '<';
            hex4(code);
            m_page += '>';
            if (std::abs(rest) > 0.01) {
                m_page += ' ';
                number(rest);
            }
            m_page += "] TJ ";
            if (glyph.yOffset != 0)
                m_page += "0 Ts ";
            continue;
        }
        if (!open)
            m_page += '<';
        open = true;
        hex4(code);
    }
    closeRun();
    if (inSpan)
        m_page += "EMC ";
    m_page += "ET\n";
    return true;
}

bool PdfStreamPrinterDevice::drawSegment(double x1, double y1, double x2, double y2)
{
    number(m_left + x1 / 20);
    m_page += ' ';
    number(m_sheetHeight - m_top - y1 / 20);
    m_page += " m ";
    number(m_left + x2 / 20);
    m_page += ' ';
    number(m_sheetHeight - m_top - y2 / 20);
    m_page += " l S\n";
    return true;
}

bool PdfStreamPrinterDevice::flushPage()
{
    // Line width: pixels at 600 dpi, in points.
    QByteArray content =
        QByteArray::number(std::max(1, drawWidth()) * 72.0 / 600, 'f', 3) + " w 0 G 0 g\n" + m_page;
    const int contentId = newObject();
    const int pageId = newObject();
    m_pageIds.push_back(pageId);
    m_page.resize(0); // keeps its room for the next page
    return writeStream(contentId, QByteArray(), content, true) && beginObject(pageId) &&
           write("<< /Type /Page /Parent " + ref(kPages) + " /MediaBox [0 0 " +
                 QByteArray::number(m_sheetWidth, 'f', 2) + ' ' +
                 QByteArray::number(m_sheetHeight, 'f', 2) + "] /Resources " + ref(kResources) +
                 " /Contents " + ref(contentId) + " >>\nendobj\n");
}

bool PdfStreamPrinterDevice::newPage()
{
    return flushPage();
}

bool PdfStreamPrinterDevice::writeFont(int slot, int type0Id)
{
    const UsedFont& used = m_fonts[slot];
    std::vector<unsigned> glyphs;
    for (std::size_t g = 0; g < used.unicode.size(); ++g)
        if (used.unicode[g] != -1)
            glyphs.push_back(unsigned(g));

    QByteArray file;
    QByteArray bbox = "[-1000 -500 2000 1200]";
    QString family;
    long ascent = 0;
    long descent = 0;
    const bool bold = slot == 1;
    bool cff = false;
    bool cidKeyed = false;
    // What the page contents show each glyph by (its CID in a CID-keyed CFF font).
    const auto codeOf = [&](unsigned g) {
        return slot < 2 ? g : m_font.fallback().code(slot - 2, g);
    };
    if (slot < 2) {
        const QRawFont& raw = m_font.raw(bold);
        const QByteArray whole = m_font.trueTypeFile(bold);
        if (whole.isEmpty()) {
            fail(QStringLiteral("The print font has no TrueType outlines to embed."));
            return false;
        }
        file = FontSubset(whole, 0, glyphs);
        if (file.isEmpty())
            file = whole;
        const QByteArray head = raw.fontTable("head");
        if (head.size() >= 54) {
            const char* h = head.constData();
            const double unitsPerEm = qFromBigEndian<quint16>(h + 18);
            const auto scaled = [&](int offset) {
                return QByteArray::number(
                    std::lround(qFromBigEndian<qint16>(h + offset) * 1000 / unitsPerEm));
            };
            bbox = '[' + scaled(36) + ' ' + scaled(38) + ' ' + scaled(40) + ' ' + scaled(42) + ']';
        }
        family = raw.familyName() + (bold ? QStringLiteral("-Bold") : QString());
        ascent = std::lround(raw.ascent());
        descent = -std::lround(raw.descent());
    } else {
        const FallbackFonts& fonts = m_font.fallback();
        const int face = slot - 2;
        // The page contents show a CID-keyed font's glyphs by CID, which subsetting keeps.
        cidKeyed = fonts.isCidKeyed(face);
        file = FontSubset(fonts.fileData(face), fonts.fileIndex(face), glyphs, !cidKeyed);
        if (cidKeyed)
            file = FontTable(file, "CFF ");
        if (file.isEmpty()) {
            fail(QStringLiteral("The font %1 could not be embedded.")
                     .arg(fonts.postScriptName(face)));
            return false;
        }
        bbox = fonts.boundingBox(face);
        family = fonts.postScriptName(face);
        cff = fonts.isCff(face);
        m_openTypeFonts = m_openTypeFonts || (cff && !cidKeyed);
        ascent = std::lround(fonts.ascent(face));
        descent = std::lround(fonts.descent(face));
    }
    family.remove(QLatin1Char(' '));
    // A subset font's name starts with a tag of six capitals, different for each font.
    QByteArray tag = "QMAAAA+";
    tag[4] = char('A' + (slot / 26) % 26);
    tag[5] = char('A' + slot % 26);
    const QByteArray name = tag + family.toLatin1();

    const int fileId = newObject();
    const int descriptorId = newObject();
    const int cidId = newObject();
    const int toUnicodeId = newObject();

    QByteArray widths = "[";
    QByteArray cmap;
    int entries = 0;
    QByteArray block;
    for (const unsigned g : glyphs) {
        const unsigned code = codeOf(g);
        widths += QByteArray::number(code) + " [" +
                  QByteArray::number(std::lround(std::max(0.0f, used.width[g]))) + "] ";
        if (used.unicode[g] < 0)
            continue;
        block += '<' + QByteArray::number(code | 0x10000, 16).mid(1).toUpper() + "> <" +
                 utf16Hex(char32_t(used.unicode[g])) + ">\n";
        if (++entries == 100) {
            cmap += "100 beginbfchar\n" + block + "endbfchar\n";
            block.clear();
            entries = 0;
        }
    }
    if (entries)
        cmap += QByteArray::number(entries) + " beginbfchar\n" + block + "endbfchar\n";
    widths += ']';
    const QByteArray toUnicode =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
        cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";

    // TrueType outlines as a TrueType file; CID-keyed CFF ones as the bare CFF font, where a
    // reader finds each glyph by CID through the font's charset (in an OpenType wrapper some take
    // the CID for a glyph id); other CFF ones as an OpenType file (PDF 1.6), by glyph id.
    return writeStream(fileId,
                       cidKeyed ? QByteArray(" /Subtype /CIDFontType0C")
                       : cff    ? QByteArray(" /Subtype /OpenType")
                                : " /Length1 " + QByteArray::number(file.size()),
                       file, true) &&
           beginObject(descriptorId) &&
           write("<< /Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox " + bbox +
                 " /ItalicAngle 0 /Ascent " + QByteArray::number(ascent) + " /Descent " +
                 QByteArray::number(descent) + " /CapHeight " + QByteArray::number(ascent) +
                 " /StemV " + (bold ? "120" : "80") + (cff ? " /FontFile3 " : " /FontFile2 ") +
                 ref(fileId) + " >>\nendobj\n") &&
           beginObject(cidId) &&
           write("<< /Type /Font /Subtype /" + QByteArray(cff ? "CIDFontType0" : "CIDFontType2") +
                 " /BaseFont /" + name +
                 " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                 " /FontDescriptor " +
                 ref(descriptorId) + (cff ? "" : " /CIDToGIDMap /Identity") + " /DW 1000 /W " +
                 widths + " >>\nendobj\n") &&
           writeStream(toUnicodeId, QByteArray(), toUnicode, true) && beginObject(type0Id) &&
           write("<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                 " /Encoding /Identity-H /DescendantFonts [" + ref(cidId) + "] /ToUnicode " +
                 ref(toUnicodeId) + " >>\nendobj\n");
}

bool PdfStreamPrinterDevice::finishDocument()
{
    if (!flushPage())
        return false;
    QByteArray fonts;
    for (int slot = 0; slot < int(m_fonts.size()); ++slot) {
        if (!m_fonts[slot].used)
            continue;
        const int id = newObject();
        if (!writeFont(slot, id))
            return false;
        fonts += " /F" + QByteArray::number(slot) + ' ' + ref(id);
    }
    QByteArray kids;
    for (const int id : m_pageIds)
        kids += ref(id) + ' ';
    const bool ok =
        beginObject(kResources) &&
        write("<< /Font <<" + fonts + " >> /ProcSet [/PDF /Text] >>\nendobj\n") &&
        beginObject(kPages) &&
        write("<< /Type /Pages /Count " + QByteArray::number(qsizetype(m_pageIds.size())) +
              " /Kids [" + kids + "] >>\nendobj\n") &&
        beginObject(kCatalog) &&
        write("<< /Type /Catalog /Pages " + ref(kPages) +
              (m_openTypeFonts ? " /Version /1.6" : "") + " >>\nendobj\n") &&
        beginObject(kInfo) &&
        write("<< /Title " + hexUtf16(m_title) + " /Creator " + hexUtf16(m_creator) +
              " /Producer " + hexUtf16(m_creator) + " >>\nendobj\n");
    if (!ok)
        return false;
    const qint64 xref = m_written;
    QByteArray table =
        "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size())) + "\n0000000000 65535 f \n";
    // Written in pieces: a long document has tens of thousands of entries.
    for (std::size_t id = 1; id < m_offsets.size(); ++id) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", qlonglong(m_offsets[id]));
        table.append(entry, 20);
        if (table.size() >= 64 * 1024) {
            if (!write(table))
                return false;
            table.clear();
        }
    }
    table += "trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size())) + " /Root " +
             ref(kCatalog) + " /Info " + ref(kInfo) + " >>\nstartxref\n" +
             QByteArray::number(xref) + "\n%%EOF\n";
    return write(table);
}

} // namespace quillmap
