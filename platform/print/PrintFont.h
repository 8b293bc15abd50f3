#pragma once

#include <QByteArray>
#include <QRawFont>
#include <QString>

#include <vector>

namespace quillmap {

// The font the tree is printed in (regular and bold), with metrics that do not depend on the
// device, so every printer device breaks lines and pages at the same places.
//
// Contract: needs a QGuiApplication. Sizes are points, lengths twips. glyphs() maps text to
// the font's glyph ids one per UTF-16 unit, with no shaping (as the devices print it); a text
// with a character the font lacks is not supported() and must be printed by a device that can
// fall back to other fonts.
class PrintFont
{
public:
    PrintFont();

    static QString family();

    bool isValid() const { return m_fonts[0].isValid() && m_fonts[1].isValid(); }
    double lineHeight(double points, bool bold) const;
    double ascent(double points, bool bold) const;
    double textWidth(const QString& text, double points, bool bold) const;
    bool supports(const QString& text, bool bold) const;
    // Glyph ids and their advances in 1/1000 em.
    void glyphs(const QString& text, bool bold, std::vector<quint32>& ids,
                std::vector<double>& advances) const;
    const QRawFont& raw(bool bold) const { return m_fonts[bold ? 1 : 0]; }
    // The font as a TrueType file built from its tables, for embedding; empty when the font
    // has no TrueType outlines.
    QByteArray trueTypeFile(bool bold) const;

private:
    quint32 glyphFor(QChar c, bool bold) const;

    // Looking glyphs and advances up in the font costs far more than printing them, so each
    // is looked up once: per UTF-16 unit the glyph id (kUnknown until looked up), per glyph
    // id its advance (negative until looked up).
    static constexpr quint32 kUnknown = 0xFFFFFFFF;
    struct Cache
    {
        std::vector<quint32> glyphForChar;
        std::vector<float> advance;
    };

    QRawFont m_fonts[2];
    mutable Cache m_caches[2];
};

} // namespace quillmap
