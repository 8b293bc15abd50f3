#pragma once

#include <QByteArray>

#include <vector>

namespace quillmap {

// A font file cut down to the glyphs a document uses, for embedding in a PDF, with HarfBuzz's
// subsetter. Glyph ids are kept (the others are left empty), so text written with the full
// font's ids draws the same glyphs.
//
// `font` is a TrueType or OpenType file (or collection: `index` picks the face). Returns an
// empty array when the font can't be read or subset; the caller then embeds the whole font.
QByteArray FontSubset(const QByteArray& font, unsigned index, const std::vector<unsigned>& glyphs);

} // namespace quillmap
