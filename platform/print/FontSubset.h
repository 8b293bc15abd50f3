#pragma once

#include <QByteArray>

#include <vector>

namespace quillmap {

// A font file cut down to the glyphs a document uses, for embedding in a PDF, with HarfBuzz's
// subsetter. With `keepIds`, glyph ids are kept (the others are left empty), so text written
// with the full font's ids draws the same glyphs; without, the glyphs are numbered anew, which
// suits a CID-keyed CFF font, whose glyphs a PDF finds by CID, and keeps tens of thousands of
// empty glyphs out of the file.
//
// `font` is a TrueType or OpenType file (or collection: `index` picks the face). Returns an
// empty array when the font can't be read or subset; the caller then embeds the whole font.
QByteArray FontSubset(const QByteArray& font, unsigned index, const std::vector<unsigned>& glyphs,
                      bool keepIds = true);

// One table of a TrueType or OpenType file (`tag` such as "CFF "), empty when it has none.
QByteArray FontTable(const QByteArray& font, const char* tag);

} // namespace quillmap
