#include "platform/print/FallbackFonts.h"

#include <QFile>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_CID_H
#include <hb-ot.h>
#include <hb.h>

#include <cmath>

namespace quillmap {

FallbackFonts::FallbackFonts() = default;

FallbackFonts::~FallbackFonts()
{
    for (Face& f : m_faces) {
        if (f.cidFace)
            FT_Done_Face(f.cidFace);
        hb_font_destroy(f.font);
        hb_face_destroy(f.face);
        hb_blob_destroy(f.file);
    }
    if (m_freetype)
        FT_Done_FreeType(m_freetype);
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
                (qstrcmp(reinterpret_cast<const char*>(format), "TrueType") != 0 &&
                 qstrcmp(reinterpret_cast<const char*>(format), "CFF") != 0) ||
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
    Face f;
    f.path = path;
    f.index = index;
    f.file = hb_blob_create_from_file_or_fail(QFile::encodeName(path).constData());
    if (!f.file)
        return -1;
    f.face = hb_face_create(f.file, index);
    const auto hasTable = [&](hb_tag_t tag) {
        hb_blob_t* table = hb_face_reference_table(f.face, tag);
        const bool found = hb_blob_get_length(table) > 0;
        hb_blob_destroy(table);
        return found;
    };
    // TrueType or CFF outlines, which a PDF can embed (not CFF2, which it can't).
    f.cff = !hasTable(HB_TAG('g', 'l', 'y', 'f')) && hasTable(HB_TAG('C', 'F', 'F', ' '));
    if ((!f.cff && !hasTable(HB_TAG('g', 'l', 'y', 'f'))) || hb_face_get_upem(f.face) == 0) {
        hb_face_destroy(f.face);
        hb_blob_destroy(f.file);
        return -1;
    }
    if (f.cff) {
        unsigned length = 0;
        const char* data = hb_blob_get_data(f.file, &length);
        FT_Bool cidKeyed = 0;
        if ((m_freetype || FT_Init_FreeType(&m_freetype) == 0) &&
            FT_New_Memory_Face(m_freetype, reinterpret_cast<const FT_Byte*>(data), FT_Long(length),
                               FT_Long(index), &f.cidFace) == 0 &&
            (FT_Get_CID_Is_Internally_CID_Keyed(f.cidFace, &cidKeyed) != 0 || !cidKeyed)) {
            FT_Done_Face(f.cidFace);
            f.cidFace = nullptr;
        }
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

QByteArray FallbackFonts::fileData(int face) const
{
    unsigned length = 0;
    const char* data = hb_blob_get_data(m_faces[face].file, &length);
    return QByteArray::fromRawData(data, qsizetype(length));
}

bool FallbackFonts::isCff(int face) const
{
    return m_faces[face].cff;
}

bool FallbackFonts::isCidKeyed(int face) const
{
    return m_faces[face].cidFace != nullptr;
}

unsigned FallbackFonts::code(int face, unsigned glyph)
{
    Face& f = m_faces[face];
    if (!f.cidFace)
        return glyph;
    const auto known = f.codes.constFind(glyph);
    if (known != f.codes.cend())
        return known.value();
    FT_UInt cid = 0;
    if (FT_Get_CID_From_Glyph_Index(f.cidFace, glyph, &cid) != 0)
        cid = glyph;
    f.codes.insert(glyph, unsigned(cid));
    return unsigned(cid);
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
