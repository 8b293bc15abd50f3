#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

struct hb_blob_t;
struct hb_face_t;
struct hb_font_t;
struct FT_FaceRec_;
struct FT_LibraryRec_;

namespace quillmap {

// The system's fonts (through fontconfig) for characters the print font lacks: Chinese,
// Japanese, Korean, Arabic, emoji... Fonts with TrueType outlines and OpenType fonts with CFF
// outlines (such as Noto CJK) are taken: a PDF can embed both. Metrics come from the font files
// (HarfBuzz), so every device measures them alike. Font files are mapped, not read: only the
// parts used take memory.
//
// Faces are numbered from 0 in the order they were first needed. Metrics are in 1/1000 em.
// Not thread-safe.
class FallbackFonts
{
public:
    FallbackFonts();
    ~FallbackFonts();
    FallbackFonts(const FallbackFonts&) = delete;
    FallbackFonts& operator=(const FallbackFonts&) = delete;

    // The face that has a glyph for `character`, -1 when no installed font has one.
    int faceFor(char32_t character);
    unsigned glyph(int face, char32_t character) const;
    double advance(int face, unsigned glyph) const;
    double ascent(int face) const;
    double descent(int face) const;
    // Glyph bounding box of the font, "[xMin yMin xMax yMax]".
    QByteArray boundingBox(int face) const;
    QString postScriptName(int face) const;
    // The font file (a view of the mapped file, valid while this object lives) and the face's
    // index in it (for collections).
    QByteArray fileData(int face) const;
    // Whether the face has CFF outlines (else TrueType), and whether they are CID-keyed.
    bool isCff(int face) const;
    bool isCidKeyed(int face) const;
    // The number a PDF shows `glyph` by: for a CID-keyed CFF font its CID (a PDF reader finds
    // the glyph through the font's charset), else the glyph id itself.
    unsigned code(int face, unsigned glyph);
    unsigned fileIndex(int face) const;
    // The face as HarfBuzz shapes with it (scaled to font units).
    hb_font_t* shaper(int face) const { return m_faces[face].font; }
    int glyphCount(int face) const;

private:
    struct Face
    {
        QString path;
        unsigned index = 0;
        hb_blob_t* file = nullptr;
        hb_face_t* face = nullptr;
        hb_font_t* font = nullptr;
        double scale = 1; // font units to 1/1000 em
        QString name;
        bool cff = false;
        FT_FaceRec_* cidFace = nullptr; // CID-keyed CFF only: maps glyph ids to CIDs
        QHash<unsigned, unsigned> codes;
    };

    int load(const QString& path, unsigned index, const QString& name);
    bool has(int face, char32_t character) const;

    std::vector<Face> m_faces;
    FT_LibraryRec_* m_freetype = nullptr;
    QHash<char32_t, int> m_byCharacter;
};

} // namespace quillmap
