#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

namespace quillmap {

// Local time of a moment as localtime_r gives it, for writers that turn millions of dates into
// text. The zone's offset from UTC is found once for each span of time in which it stays the
// same (a season between two clock changes, or up to a year), so most dates cost arithmetic
// only. Not thread-safe: one per writer.
class LocalClock
{
public:
    // Fills year, month, day, hour, minute, second and tm_gmtoff; false where localtime_r
    // fails (a year it cannot hold).
    bool localTime(std::int64_t t, std::tm& out);

private:
    bool utcOffset(std::int64_t t, long& offset);

    struct OffsetSpan
    {
        std::int64_t first; // UTC seconds, both ends included
        std::int64_t last;
        long offset;
    };
    std::vector<OffsetSpan> m_offsetSpans;
    std::size_t m_lastSpan = 0;
    bool m_arithmetic = true; // false where the zone counts leap seconds
    bool m_checked = false;
};

} // namespace quillmap
