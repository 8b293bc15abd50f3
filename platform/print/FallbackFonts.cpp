#include "platform/print/FallbackFonts.h"

#include <QFile>

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb.h>

#include <cmath>

namespace quillmap {

FallbackFonts::FallbackFonts() = default;

FallbackFonts::~FallbackFonts()
{
    for (Face& f : m_faces) {
        hb_font_destroy(f.font);
        hb_face_destroy(f.face);
    }
}

bool FallbackFonts::has(int face, char32_t character) const
{
    hb_codepoint_t glyph = 0;
    return hb_font_get_nominal_glyph(m_faces[face].font, character, &glyph) && glyph != 0;
}

int FallbackFonts::faceFor(char32_t character)
{
    const auto known = m_byCharacter.constFind(character);
    if (known != m_byCharacter.cend())
        return known.value();
    int found = -1;
    for (int i = 0; i < int(m_faces.size()) && found < 0; ++i)
        if (has(i, character))
            found = i;
    if (found < 0) {
        // Ask fontconfig for the fonts that have it, best match first.
        FcPattern* pattern = FcPatternCreate();
        FcCharSet* wanted = FcCharSetCreate();
        FcCharSetAddChar(wanted, character);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
        for (int i = 0; fonts && i < fonts->nfont && found < 0; ++i) {
            FcPattern* font = fonts->fonts[i];
            FcCharSet* charset = nullptr;
            FcChar8* format = nullptr;
            FcChar8* file = nullptr;
            int index = 0;
            if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch ||
                !FcCharSetHasChar(charset, character) ||
                FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
                qstrcmp(reinterpret_cast<const char*>(format), "TrueType") != 0 ||
                FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch)
                continue;
            FcPatternGetInteger(font, FC_INDEX, 0, &index);
            FcChar8* name = nullptr;
            FcPatternGetString(font, FC_POSTSCRIPT_NAME, 0, &name);
            const int face =
                load(QFile::decodeName(reinterpret_cast<const char*>(file)), unsigned(index),
                     name ? QString::fromUtf8(reinterpret_cast<const char*>(name)) : QString());
            if (face >= 0 && has(face, character))
                found = face;
        }
        if (fonts)
            FcFontSetDestroy(fonts);
        FcCharSetDestroy(wanted);
        FcPatternDestroy(pattern);
    }
    m_byCharacter.insert(character, found);
    return found;
}

int FallbackFonts::load(const QString& path, unsigned index, const QString& name)
{
    for (int i = 0; i < int(m_faces.size()); ++i)
        if (m_faces[i].path == path && m_faces[i].index == index)
            return i;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    Face f;
    f.path = path;
    f.index = index;
    f.data = file.readAll();
    hb_blob_t* blob = hb_blob_create(f.data.constData(), unsigned(f.data.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    f.face = hb_face_create(blob, index);
    hb_blob_destroy(blob);
    // TrueType outlines only: the PDF embeds them as it does the print font.
    hb_blob_t* glyf = hb_face_reference_table(f.face, HB_TAG('g', 'l', 'y', 'f'));
    const bool outlines = hb_blob_get_length(glyf) > 0;
    hb_blob_destroy(glyf);
    if (!outlines || hb_face_get_upem(f.face) == 0) {
        hb_face_destroy(f.face);
        return -1;
    }
    f.font = hb_font_create(f.face);
    const unsigned upem = hb_face_get_upem(f.face);
    hb_font_set_scale(f.font, int(upem), int(upem));
    f.scale = 1000.0 / upem;
    f.name = name;
    f.name.remove(QLatin1Char(' '));
    if (f.name.isEmpty())
        f.name = QStringLiteral("Fallback%1").arg(m_faces.size());
    m_faces.push_back(std::move(f));
    return int(m_faces.size()) - 1;
}

unsigned FallbackFonts::glyph(int face, char32_t character) const
{
    hb_codepoint_t glyph = 0;
    hb_font_get_nominal_glyph(m_faces[face].font, character, &glyph);
    return glyph;
}

double FallbackFonts::advance(int face, unsigned glyph) const
{
    return hb_font_get_glyph_h_advance(m_faces[face].font, glyph) * m_faces[face].scale;
}

double FallbackFonts::ascent(int face) const
{
    hb_font_extents_t extents{};
    hb_font_get_h_extents(m_faces[face].font, &extents);
    return extents.ascender * m_faces[face].scale;
}

double FallbackFonts::descent(int face) const
{
    hb_font_extents_t extents{};
    hb_font_get_h_extents(m_faces[face].font, &extents);
    return extents.descender * m_faces[face].scale;
}

QByteArray FallbackFonts::boundingBox(int face) const
{
    hb_blob_t* head = hb_face_reference_table(m_faces[face].face, HB_TAG('h', 'e', 'a', 'd'));
    unsigned length = 0;
    const auto* h = reinterpret_cast<const unsigned char*>(hb_blob_get_data(head, &length));
    QByteArray box = "[-1000 -500 2000 1200]";
    if (h && length >= 44) {
        const auto value = [&](int offset) {
            const auto v = qint16(quint16(h[offset] << 8 | h[offset + 1]));
            return QByteArray::number(std::lround(v * m_faces[face].scale));
        };
        box = '[' + value(36) + ' ' + value(38) + ' ' + value(40) + ' ' + value(42) + ']';
    }
    hb_blob_destroy(head);
    return box;
}

QString FallbackFonts::postScriptName(int face) const
{
    return m_faces[face].name;
}

const QByteArray& FallbackFonts::fileData(int face) const
{
    return m_faces[face].data;
}

unsigned FallbackFonts::fileIndex(int face) const
{
    return m_faces[face].index;
}

int FallbackFonts::glyphCount(int face) const
{
    return int(hb_face_get_glyph_count(m_faces[face].face));
}

} // namespace quillmap
