#pragma once

#include "platform/print/FallbackFonts.h"

#include <QByteArray>
#include <QHash>
#include <QRawFont>
#include <QString>

#include <memory>
#include <vector>

namespace quillmap {

// The font the tree is printed in (regular and bold), with metrics that do not depend on the
// device, so every printer device breaks lines and pages at the same places. Characters the
// font lacks are measured and drawn in a system fallback font (FallbackFonts); where no font has
// one, the print font's box glyph (.notdef) stands for it.
//
// Contract: needs a QGuiApplication. Sizes are points, lengths twips. layout() maps text to
// glyphs one per character (code point), with no shaping, except for the scripts that need it:
// a line with right-to-left letters (Arabic, Hebrew...) is put in display order by the Unicode
// bidirectional algorithm on a left-to-right line (ICU's), its right-to-left runs shaped
// (Arabic letters joined, brackets mirrored), and runs of scripts whose letters combine
// (Devanagari and the other Indic scripts, Thai, Khmer..., and combining marks anywhere) are
// shaped, their marks placed, as the devices print them. textWidth() measures what layout()
// gives.
class PrintFont
{
public:
    // One glyph of a text as printed, in display order. `font` is kPrintFont (the print font
    // in the style asked for), a fallback face (0, 1, ...) or kNoFont (the print font's .notdef
    // box, id 0). `character` is the character it stands for: 0 for a glyph that shares its
    // character with the one before it (a shaped cluster). The first glyph of a cluster of
    // several characters (a ligature, a letter with its marks, a conjunct) stands for all of
    // them: `clusterLength` UTF-16 units of the text from `textAt` (0 for a glyph of one
    // character). A placed mark is drawn `xOffset` right of and `yOffset` above the pen.
    struct Glyph
    {
        int font;
        quint32 id;
        float advance; // 1/1000 em
        char32_t character;
        int textAt = 0;
        int clusterLength = 0;
        float xOffset = 0; // 1/1000 em
        float yOffset = 0;
    };
    static constexpr int kPrintFont = -1;
    static constexpr int kNoFont = -2;

    PrintFont();
    ~PrintFont();

    static QString family();

    bool isValid() const { return m_fonts[0].isValid() && m_fonts[1].isValid(); }
    double lineHeight(double points, bool bold) const;
    double ascent(double points, bool bold) const;
    double textWidth(const QString& text, double points, bool bold) const;
    // Whether the print font alone has every character of `text`.
    bool supports(const QString& text, bool bold) const;
    void layout(const QString& text, bool bold, std::vector<Glyph>& glyphs) const;
    const QRawFont& raw(bool bold) const { return m_fonts[bold ? 1 : 0]; }
    FallbackFonts& fallback() const;
    // The font as a TrueType file built from its tables, for embedding; empty when the font
    // has no TrueType outlines.
    QByteArray trueTypeFile(bool bold) const;
    // Whether trueTypeFile() has outlines to give, without building the file.
    bool hasTrueTypeOutlines(bool bold) const;

private:
    quint32 glyphFor(char32_t c, bool bold) const;
    float advanceOf(quint32 glyph, bool bold) const;
    Glyph glyphOf(char32_t c, bool bold) const;
    // Puts `glyphs` (of `text`, in text order) in display order, the right-to-left runs shaped.
    void reorderRightToLeft(const QString& text, std::vector<Glyph>& glyphs, bool bold) const;
    // Shapes the runs of `glyphs` (one per character, in text order) that need it, left to
    // right.
    void shapeCombining(std::vector<Glyph>& glyphs, bool bold) const;
    // `glyphs` (one font, text order) shaped in `direction`, appended to `out` in display
    // order (right to left when `rightToLeft`); with `placed`, advances and mark offsets as
    // the shaper places them, else each glyph's own advance.
    void shape(const Glyph* glyphs, std::size_t count, bool bold, bool rightToLeft, bool placed,
               std::vector<Glyph>& out) const;
    hb_font_t* shaper(int font, bool bold) const;

    // Looking glyphs and advances up in the font costs far more than printing them, so each
    // is looked up once: per UTF-16 unit the glyph id (kUnknown until looked up), per glyph
    // id its advance (negative until looked up).
    static constexpr quint32 kUnknown = 0xFFFFFFFF;
    struct Cache
    {
        std::vector<quint32> glyphForChar;
        QHash<char32_t, quint32> glyphForAstral; // characters past U+FFFF
        std::vector<float> advance;
    };

    QRawFont m_fonts[2];
    mutable Cache m_caches[2];
    mutable std::unique_ptr<FallbackFonts> m_fallback;
    mutable hb_font_t* m_shapers[2] = {nullptr, nullptr}; // the print font, for HarfBuzz
};

} // namespace quillmap
