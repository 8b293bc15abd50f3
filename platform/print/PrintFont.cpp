#include "platform/print/PrintFont.h"

#include <QFont>
#include <QtEndian>

#include <cmath>

namespace quillmap {

namespace {

constexpr double kUnits = 1000; // the raw fonts' pixel size: metrics come in 1/1000 em

QRawFont load(bool bold)
{
    QFont font(PrintFont::family());
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    QRawFont raw = QRawFont::fromFont(font);
    if (raw.isValid())
        raw.setPixelSize(kUnits);
    return raw;
}

} // namespace

PrintFont::PrintFont() : m_fonts{load(false), load(true)} {}

PrintFont::~PrintFont() = default;

QString PrintFont::family()
{
    return QStringLiteral("DejaVu Sans");
}

FallbackFonts& PrintFont::fallback() const
{
    if (!m_fallback)
        m_fallback = std::make_unique<FallbackFonts>();
    return *m_fallback;
}

double PrintFont::lineHeight(double points, bool bold) const
{
    const QRawFont& f = raw(bold);
    return (f.ascent() + f.descent()) / kUnits * points * 20;
}

double PrintFont::ascent(double points, bool bold) const
{
    return raw(bold).ascent() / kUnits * points * 20;
}

namespace {

// Calls `each` with every character (code point) of `text`; a lone surrogate is a character
// of its own.
template <typename F> void forEachCharacter(const QString& text, F each)
{
    const qsizetype count = text.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < count && text.at(i + 1).isLowSurrogate()) {
            each(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            each(char32_t(c.unicode()));
        }
    }
}

} // namespace

double PrintFont::textWidth(const QString& text, double points, bool bold) const
{
    double sum = 0;
    forEachCharacter(text, [&](char32_t c) { sum += glyphOf(c, bold).advance; });
    return sum / kUnits * points * 20;
}

bool PrintFont::supports(const QString& text, bool bold) const
{
    bool all = true;
    forEachCharacter(text, [&](char32_t c) { all = all && glyphFor(c, bold) != 0; });
    return all;
}

quint32 PrintFont::glyphFor(char32_t c, bool bold) const
{
    Cache& cache = m_caches[bold ? 1 : 0];
    quint32* slot = nullptr;
    if (c < 0x10000) {
        if (cache.glyphForChar.empty())
            cache.glyphForChar.assign(0x10000, kUnknown);
        slot = &cache.glyphForChar[c];
    } else {
        slot = &cache.glyphForAstral.insert(c, cache.glyphForAstral.value(c, kUnknown)).value();
    }
    if (*slot == kUnknown) {
        quint32 ids[2] = {0, 0};
        int count = 2;
        const QString chars = QString::fromUcs4(&c, 1);
        const bool surrogate = c >= 0xD800 && c < 0xE000;
        if (surrogate || !raw(bold).supportsCharacter(uint(c)) ||
            !raw(bold).glyphIndexesForChars(chars.constData(), int(chars.size()), ids, &count) ||
            count != 1)
            ids[0] = 0;
        *slot = ids[0];
    }
    return *slot;
}

float PrintFont::advanceOf(quint32 glyph, bool bold) const
{
    Cache& cache = m_caches[bold ? 1 : 0];
    if (glyph >= cache.advance.size())
        cache.advance.resize(glyph + 1, -1);
    float& advance = cache.advance[glyph];
    if (advance < 0) {
        QPointF point;
        raw(bold).advancesForGlyphIndexes(&glyph, &point, 1);
        advance = float(point.x());
    }
    return advance;
}

PrintFont::Glyph PrintFont::glyphOf(char32_t c, bool bold) const
{
    const quint32 id = glyphFor(c, bold);
    if (id != 0)
        return {kPrintFont, id, advanceOf(id, bold), c};
    // Control characters have no glyph anywhere; a fallback font is looked for the rest.
    if (c >= 0x20 && !(c >= 0xD800 && c < 0xE000)) {
        FallbackFonts& fonts = fallback();
        const int face = fonts.faceFor(c);
        if (face >= 0) {
            const unsigned glyph = fonts.glyph(face, c);
            return {face, glyph, float(fonts.advance(face, glyph)), c};
        }
    }
    return {kNoFont, 0, advanceOf(0, bold), c};
}

void PrintFont::layout(const QString& text, bool bold, std::vector<Glyph>& glyphs) const
{
    glyphs.clear();
    forEachCharacter(text, [&](char32_t c) { glyphs.push_back(glyphOf(c, bold)); });
}

bool PrintFont::hasTrueTypeOutlines(bool bold) const
{
    // The glyph locations come with the outlines and are a small table to copy.
    return !raw(bold).fontTable("loca").isEmpty();
}

QByteArray PrintFont::trueTypeFile(bool bold) const
{
    // The tables a PDF reader needs to draw TrueType glyphs by id.
    static const char* const kTables[] = {"OS/2", "cmap", "cvt ", "fpgm", "glyf", "head", "hhea",
                                          "hmtx", "loca", "maxp", "name", "post", "prep"};
    struct Table
    {
        QByteArray tag;
        QByteArray data;
    };
    std::vector<Table> tables;
    const QRawFont& f = raw(bold);
    for (const char* tag : kTables) {
        const QByteArray data = f.fontTable(tag);
        if (!data.isEmpty())
            tables.push_back({QByteArray(tag), data});
    }
    bool hasGlyf = false;
    for (const Table& t : tables)
        hasGlyf = hasGlyf || t.tag == "glyf";
    if (!hasGlyf)
        return {};

    const auto put16 = [](QByteArray& out, quint16 v) {
        char b[2];
        qToBigEndian(v, b);
        out.append(b, 2);
    };
    const auto put32 = [](QByteArray& out, quint32 v) {
        char b[4];
        qToBigEndian(v, b);
        out.append(b, 4);
    };
    const auto checksum = [](const QByteArray& data) {
        quint32 sum = 0;
        for (qsizetype i = 0; i < data.size(); i += 4) {
            quint32 word = 0;
            for (int k = 0; k < 4; ++k)
                word = (word << 8) | quint8(i + k < data.size() ? data[i + k] : 0);
            sum += word;
        }
        return sum;
    };

    const quint16 count = quint16(tables.size());
    quint16 power = 1;
    quint16 log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    QByteArray out;
    put32(out, 0x00010000);
    put16(out, count);
    put16(out, quint16(power * 16));
    put16(out, log2);
    put16(out, quint16(count * 16 - power * 16));
    quint32 offset = 12 + 16 * count;
    for (const Table& t : tables) {
        out.append(t.tag);
        put32(out, checksum(t.data));
        put32(out, offset);
        put32(out, quint32(t.data.size()));
        offset += (quint32(t.data.size()) + 3) & ~3u;
    }
    for (const Table& t : tables) {
        out.append(t.data);
        out.append(QByteArray((4 - t.data.size() % 4) % 4, '\0'));
    }
    return out;
}

} // namespace quillmap
