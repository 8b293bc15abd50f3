#include "scan/ScanLineFormat.h"

#include "scan/GetFileInfo.h"

namespace quillmap {

void ScanLineFormat::makeLine(std::string& out, std::string_view name,
                              const NodeStore::Details& details) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    FillFileInfo(m_info, name, details);
    m_line.build(out, name, m_info, m_ticks);
}

void ScanLineFormat::makeLine(std::string& out, std::string_view name, const FileInfo& info) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_line.build(out, name, info, m_ticks);
}

} // namespace quillmap
