#include "listing/ScanSource.h"

#include "scan/SearchDir.h"
#include "scan/SearchRecord.h"

namespace quillmap {

bool ScanSource::read(NodeStore& tree, SearchRecord& record)
{
    record = SearchRecord::startedWith(m_controls);
    record.report = SearchDir(m_controls, tree, m_fs);
    return true;
}

} // namespace quillmap
