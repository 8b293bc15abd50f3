#include "platform/print/FontSubset.h"

#include <hb-subset.h>
#include <hb.h>

namespace quillmap {

QByteArray FontSubset(const QByteArray& font, unsigned index, const std::vector<unsigned>& glyphs,
                      bool keepIds)
{
    hb_blob_t* blob = hb_blob_create(font.constData(), static_cast<unsigned>(font.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, index);
    hb_blob_destroy(blob);
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    QByteArray result;
    if (input) {
        hb_set_t* set = hb_subset_input_glyph_set(input);
        hb_set_add(set, 0); // .notdef, drawn where no font has a character
        for (const unsigned glyph : glyphs)
            hb_set_add(set, glyph);
        // No layout tables (GSUB closure would add glyphs nobody draws) and no hinting: a PDF
        // reader uses neither.
        hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
        for (const char* tag : {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH", "kern", "morx",
                                "kerx", "DSIG", "vhea", "vmtx", "VORG"})
            hb_set_add(drop, hb_tag_from_string(tag, 4));
        hb_subset_input_set_flags(input, (keepIds ? HB_SUBSET_FLAGS_RETAIN_GIDS : 0) |
                                             HB_SUBSET_FLAGS_NOTDEF_OUTLINE |
                                             HB_SUBSET_FLAGS_NO_HINTING);
        if (hb_face_t* subset = hb_subset_or_fail(face, input)) {
            hb_blob_t* out = hb_face_reference_blob(subset);
            unsigned length = 0;
            const char* data = hb_blob_get_data(out, &length);
            if (data && length > 0)
                result = QByteArray(data, qsizetype(length));
            hb_blob_destroy(out);
            hb_face_destroy(subset);
        }
        hb_subset_input_destroy(input);
    }
    hb_face_destroy(face);
    return result;
}

QByteArray FontTable(const QByteArray& font, const char* tag)
{
    hb_blob_t* blob = hb_blob_create(font.constData(), static_cast<unsigned>(font.size()),
                                     HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_blob_destroy(blob);
    hb_blob_t* table = hb_face_reference_table(face, hb_tag_from_string(tag, 4));
    unsigned length = 0;
    const char* data = hb_blob_get_data(table, &length);
    QByteArray result = data && length > 0 ? QByteArray(data, qsizetype(length)) : QByteArray();
    hb_blob_destroy(table);
    hb_face_destroy(face);
    return result;
}

} // namespace quillmap
