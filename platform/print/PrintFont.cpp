#include "platform/print/PrintFont.h"

#include <QFont>
#include <QtEndian>

#include <hb.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>
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

PrintFont::~PrintFont()
{
    for (hb_font_t* font : m_shapers)
        hb_font_destroy(font);
}

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

// Whether `c` is in a block of a right-to-left script (Hebrew, Arabic, Syriac, Thaana, N'Ko...
// and their presentation forms): a quick test for text that needs reordering.
bool isRightToLeftScript(char32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) ||
           (c >= 0x1E800 && c <= 0x1EFFF);
}

// Whether `c` belongs to a run that must be shaped to be read: a letter of a script whose
// letters combine or reorder (the Indic scripts, Thai, Lao, Tibetan, Myanmar, Khmer...), a
// combining mark, or a joiner. (Right-to-left letters are shaped on their own.)
bool needsShaping(char32_t c)
{
    if (c < 0x0300)
        return false;
    if ((c >= 0x0900 && c <= 0x0FFF) || (c >= 0x1000 && c <= 0x109F) ||
        (c >= 0x1780 && c <= 0x17FF) || (c >= 0x1900 && c <= 0x1AFF) ||
        (c >= 0x1B00 && c <= 0x1BFF) || (c >= 0xA8E0 && c <= 0xA8FF) ||
        (c >= 0xA980 && c <= 0xAAFF) || (c >= 0x11000 && c <= 0x11FFF) || c == 0x200C ||
        c == 0x200D)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// Calls `each` with every character (code point) of `text` and its UTF-16 offset; a lone
// surrogate is a character of its own.
template <typename F> void forEachCharacter(const QString& text, F each)
{
    const qsizetype count = text.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < count && text.at(i + 1).isLowSurrogate()) {
            each(QChar::surrogateToUcs4(c, text.at(i + 1)), int(i));
            ++i;
        } else {
            each(char32_t(c.unicode()), int(i));
        }
    }
}

} // namespace

double PrintFont::textWidth(const QString& text, double points, bool bold) const
{
    double sum = 0;
    bool shaped = false;
    forEachCharacter(text, [&](char32_t c, int) {
        sum += glyphOf(c, bold).advance;
        shaped = shaped || isRightToLeftScript(c) || needsShaping(c);
    });
    if (shaped) {
        // Shaped letters have other widths than the letters alone.
        std::vector<Glyph> glyphs;
        layout(text, bold, glyphs);
        sum = 0;
        for (const Glyph& g : glyphs)
            sum += g.advance;
    }
    return sum / kUnits * points * 20;
}

bool PrintFont::supports(const QString& text, bool bold) const
{
    bool all = true;
    forEachCharacter(text, [&](char32_t c, int) { all = all && glyphFor(c, bold) != 0; });
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
    bool rightToLeft = false;
    bool combining = false;
    forEachCharacter(text, [&](char32_t c, int at) {
        glyphs.push_back(glyphOf(c, bold));
        glyphs.back().textAt = at;
        rightToLeft = rightToLeft || isRightToLeftScript(c);
        combining = combining || needsShaping(c);
    });
    if (combining)
        shapeCombining(glyphs, bold);
    if (rightToLeft)
        reorderRightToLeft(text, glyphs, bold);
}

void PrintFont::shapeCombining(std::vector<Glyph>& glyphs, bool bold) const
{
    // Runs of one font without right-to-left letters, each shaped whole where it holds a
    // character that needs it (so that a mark is placed on the letter before it).
    std::vector<Glyph> out;
    out.reserve(glyphs.size());
    const std::size_t count = glyphs.size();
    for (std::size_t i = 0; i < count;) {
        const auto apart = [&](std::size_t k) {
            return glyphs[k].font == kNoFont || isRightToLeftScript(glyphs[k].character);
        };
        std::size_t end = i + 1;
        bool needed = needsShaping(glyphs[i].character);
        if (!apart(i))
            for (; end < count && !apart(end) && glyphs[end].font == glyphs[i].font; ++end)
                needed = needed || needsShaping(glyphs[end].character);
        if (needed && !apart(i))
            shape(glyphs.data() + i, end - i, bold, false, true, out);
        else
            out.insert(out.end(), glyphs.begin() + std::ptrdiff_t(i),
                       glyphs.begin() + std::ptrdiff_t(end));
        i = end;
    }
    glyphs.swap(out);
}

void PrintFont::reorderRightToLeft(const QString& text, std::vector<Glyph>& glyphs, bool bold) const
{
    // The Unicode bidirectional algorithm (ICU's) on a left-to-right line: the runs of the
    // text in display order, each from its characters' resolved levels, so that numbers,
    // brackets and neutrals between letters go where a browser puts them. A right-to-left
    // run's pieces of one font are shaped from right to left (HarfBuzz mirrors brackets
    // there); pieces already shaped as clusters keep their glyphs, in reverse cluster order.
    UErrorCode status = U_ZERO_ERROR;
    UBiDi* bidi = ubidi_openSized(int32_t(text.size()), 0, &status);
    if (U_SUCCESS(status))
        ubidi_setPara(bidi, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()),
                      UBIDI_LTR, nullptr, &status);
    const int32_t runs = U_SUCCESS(status) ? ubidi_countRuns(bidi, &status) : 0;
    if (U_FAILURE(status)) {
        ubidi_close(bidi);
        return; // left in text order
    }
    std::vector<Glyph> out;
    out.reserve(glyphs.size());
    const auto at = [&](int32_t offset) {
        return std::size_t(
            std::lower_bound(glyphs.begin(), glyphs.end(), offset,
                             [](const Glyph& g, int32_t o) { return g.textAt < o; }) -
            glyphs.begin());
    };
    // A glyph shaped already: one of a cluster of several characters or glyphs.
    const auto shaped = [&](std::size_t i) {
        return glyphs[i].character == 0 || glyphs[i].clusterLength > 0;
    };
    for (int32_t r = 0; r < runs; ++r) {
        int32_t start = 0;
        int32_t length = 0;
        const UBiDiDirection direction = ubidi_getVisualRun(bidi, r, &start, &length);
        const std::size_t begin = at(start);
        std::size_t end = at(start + length);
        if (direction == UBIDI_LTR) {
            out.insert(out.end(), glyphs.begin() + std::ptrdiff_t(begin),
                       glyphs.begin() + std::ptrdiff_t(end));
            continue;
        }
        while (end > begin) {
            std::size_t first = end - 1;
            if (shaped(first)) {
                // Back to the start of the cluster, which goes whole.
                while (first > begin && glyphs[first].character == 0 &&
                       glyphs[first].clusterLength == 0)
                    --first;
                out.insert(out.end(), glyphs.begin() + std::ptrdiff_t(first),
                           glyphs.begin() + std::ptrdiff_t(end));
            } else {
                while (first > begin && !shaped(first - 1) &&
                       glyphs[first - 1].font == glyphs[end - 1].font)
                    --first;
                shape(glyphs.data() + first, end - first, bold, true, false, out);
            }
            end = first;
        }
    }
    ubidi_close(bidi);
    glyphs.swap(out);
}

void PrintFont::shape(const Glyph* glyphs, std::size_t count, bool bold, bool rightToLeft,
                      bool placed, std::vector<Glyph>& out) const
{
    hb_font_t* font = shaper(glyphs[0].font, bold);
    if (!font) {
        for (std::size_t i = 0; i < count; ++i)
            out.push_back(glyphs[rightToLeft ? count - 1 - i : i]);
        return;
    }
    // Shaper units (the font's units per em) to 1/1000 em.
    const double scale = 1000.0 / std::max(1u, hb_face_get_upem(hb_font_get_face(font)));
    std::vector<std::uint32_t> text(count);
    for (std::size_t i = 0; i < count; ++i)
        text[i] = glyphs[i].character;
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf32(buffer, text.data(), int(count), 0, int(count));
    hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font, buffer, nullptr, 0);
    unsigned length = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &length);
    const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer, nullptr);
    // Where the text of each character ends: where the next one's begins.
    const auto textEnd = [&](std::uint32_t i) {
        return i + 1 < count ? glyphs[i + 1].textAt
                             : glyphs[i].textAt + (glyphs[i].character > 0xFFFF ? 2 : 1);
    };
    // A cluster's characters end where the next cluster of the text begins; the first glyph
    // shown of a cluster stands for them.
    std::uint32_t seen = std::uint32_t(-1);
    for (unsigned k = 0; k < length; ++k) {
        const std::uint32_t cluster = info[k].cluster;
        std::uint32_t clusterEnd = std::uint32_t(count);
        for (unsigned m = 0; m < length; ++m)
            if (info[m].cluster > cluster && info[m].cluster < clusterEnd)
                clusterEnd = info[m].cluster;
        Glyph g = glyphs[cluster];
        g.id = info[k].codepoint;
        if (placed) {
            g.advance = float(position[k].x_advance * scale);
            g.xOffset = float(position[k].x_offset * scale);
            g.yOffset = float(position[k].y_offset * scale);
        } else {
            g.advance =
                g.font >= 0 ? float(fallback().advance(g.font, g.id)) : advanceOf(g.id, bold);
        }
        g.character = cluster == seen ? 0 : text[cluster];
        // A bracket shown mirrored stands for what it shows, so that the text reads as the page.
        if (rightToLeft && g.character != 0 && u_isMirrored(UChar32(g.character)))
            g.character = char32_t(u_charMirror(UChar32(g.character)));
        g.clusterLength =
            cluster != seen && clusterEnd > cluster + 1 ? textEnd(clusterEnd - 1) - g.textAt : 0;
        seen = cluster;
        out.push_back(g);
    }
    hb_buffer_destroy(buffer);
}

namespace {

// The print font's tables, for HarfBuzz.
hb_blob_t* rawFontTable(hb_face_t*, hb_tag_t tag, void* font)
{
    const char name[5] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag), 0};
    auto* data = new QByteArray(static_cast<const QRawFont*>(font)->fontTable(name));
    if (data->isEmpty()) {
        delete data;
        return nullptr;
    }
    return hb_blob_create(data->constData(), unsigned(data->size()), HB_MEMORY_MODE_READONLY, data,
                          [](void* p) { delete static_cast<QByteArray*>(p); });
}

} // namespace

hb_font_t* PrintFont::shaper(int font, bool bold) const
{
    if (font >= 0)
        return fallback().shaper(font);
    if (font != kPrintFont)
        return nullptr;
    hb_font_t*& shaper = m_shapers[bold ? 1 : 0];
    if (!shaper) {
        hb_face_t* face = hb_face_create_for_tables(
            rawFontTable, const_cast<QRawFont*>(&m_fonts[bold ? 1 : 0]), nullptr);
        shaper = hb_font_create(face);
        const int upem = int(hb_face_get_upem(face));
        hb_font_set_scale(shaper, upem, upem);
        hb_face_destroy(face);
    }
    return shaper;
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
