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

QString PrintFont::family()
{
    return QStringLiteral("DejaVu Sans");
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

double PrintFont::textWidth(const QString& text, double points, bool bold) const
{
    std::vector<quint32> ids;
    std::vector<double> advances;
    glyphs(text, bold, ids, advances);
    double sum = 0;
    for (const double a : advances)
        sum += a;
    return sum / kUnits * points * 20;
}

bool PrintFont::supports(const QString& text, bool bold) const
{
    for (const QChar c : text)
        if (c.isSurrogate() || glyphFor(c, bold) == 0)
            return false;
    return true;
}

quint32 PrintFont::glyphFor(QChar c, bool bold) const
{
    Cache& cache = m_caches[bold ? 1 : 0];
    if (cache.glyphForChar.empty())
        cache.glyphForChar.assign(0x10000, kUnknown);
    quint32& glyph = cache.glyphForChar[c.unicode()];
    if (glyph == kUnknown) {
        quint32 id = 0;
        int one = 1;
        if (!raw(bold).supportsCharacter(c) || !raw(bold).glyphIndexesForChars(&c, 1, &id, &one) ||
            one != 1)
            id = 0;
        glyph = id;
    }
    return glyph;
}

void PrintFont::glyphs(const QString& text, bool bold, std::vector<quint32>& ids,
                       std::vector<double>& advances) const
{
    const QRawFont& f = raw(bold);
    Cache& cache = m_caches[bold ? 1 : 0];
    const qsizetype count = text.size();
    ids.resize(count);
    advances.resize(count);
    for (qsizetype i = 0; i < count; ++i) {
        quint32 glyph = glyphFor(text.at(i), bold);
        ids[i] = glyph;
        if (glyph >= cache.advance.size())
            cache.advance.resize(glyph + 1, -1);
        float& advance = cache.advance[glyph];
        if (advance < 0) {
            QPointF point;
            f.advancesForGlyphIndexes(&glyph, &point, 1);
            advance = float(point.x());
        }
        advances[i] = advance;
    }
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
