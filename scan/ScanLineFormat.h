#pragma once

#include "scan/DetailTicks.h"
#include "scan/FileLine.h"
#include "tree/LineFormat.h"

#include <mutex>

namespace quillmap {

// The file lines of one scan, made from the properties the node store keeps: FileLine's line
// with the details ticked when the scan started, in the date locale of that moment.
class ScanLineFormat : public LineFormat
{
public:
    explicit ScanLineFormat(DetailTicks ticks) : m_ticks(ticks) {}

    void makeLine(std::string& out, std::string_view name,
                  const NodeStore::Details& details) const override;
    // The line of a file as the scan read it, for one whose text is kept as text.
    void makeLine(std::string& out, std::string_view name, const FileInfo& info) const;

private:
    const DetailTicks m_ticks;
    // FileLine caches the dates it wrote last: one thread at a time.
    mutable std::mutex m_mutex;
    FileLine m_line;
    mutable FileInfo m_info;
};

} // namespace quillmap
