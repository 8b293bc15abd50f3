#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

struct hb_face_t;
struct hb_font_t;

namespace quillmap {

// The system's fonts (through fontconfig) for characters the print font lacks: Chinese,
// Japanese, Korean, Arabic, emoji... Only fonts with TrueType outlines are taken, as a PDF can
// embed them the way it embeds the print font. Metrics come from the font files (HarfBuzz), so
// every device measures them alike.
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
    // The font file and the face's index in it (for collections).
    const QByteArray& fileData(int face) const;
    unsigned fileIndex(int face) const;
    int glyphCount(int face) const;

private:
    struct Face
    {
        QString path;
        unsigned index = 0;
        QByteArray data;
        hb_face_t* face = nullptr;
        hb_font_t* font = nullptr;
        double scale = 1; // font units to 1/1000 em
        QString name;
    };

    int load(const QString& path, unsigned index, const QString& name);
    bool has(int face, char32_t character) const;

    std::vector<Face> m_faces;
    QHash<char32_t, int> m_byCharacter;
};

} // namespace quillmap
