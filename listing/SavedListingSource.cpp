#include "listing/SavedListingSource.h"

namespace quillmap {

bool SavedListingSource::read(NodeStore& tree, SearchRecord& record)
{
    m_isNcdu = NcduReader::recognises(m_path);
    m_result = m_isNcdu ? m_ncdu.read(m_path, tree, record) : m_reader.read(m_path, tree, record);
    return m_result == ListingJsonReader::Result::Ok;
}

} // namespace quillmap
