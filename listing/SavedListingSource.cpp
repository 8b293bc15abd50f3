#include "listing/SavedListingSource.h"

namespace quillmap {

bool SavedListingSource::read(NodeStore& tree, SearchRecord& record)
{
    m_result = m_reader.read(m_path, tree, record);
    return m_result == ListingJsonReader::Result::Ok;
}

} // namespace quillmap
