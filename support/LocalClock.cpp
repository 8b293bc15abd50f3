#include "support/LocalClock.h"

namespace quillmap {

namespace {

bool offsetOf(std::int64_t t, long& offset)
{
    const std::time_t when = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&when, &tm))
        return false;
    offset = tm.tm_gmtoff;
    return true;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Year, month (1-12) and day of the civil date `days` after 1970-01-01 (proleptic Gregorian).
void civilFromDays(std::int64_t days, std::int64_t& y, int& m, int& d)
{
    days += 719468;
    const std::int64_t era = floorDiv(days, 146097);
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

} // namespace

bool LocalClock::utcOffset(std::int64_t t, long& offset)
{
    if (m_lastSpan < m_offsetSpans.size()) {
        const OffsetSpan& s = m_offsetSpans[m_lastSpan];
        if (t >= s.first && t <= s.last) {
            offset = s.offset;
            return true;
        }
    }
    for (std::size_t i = 0; i < m_offsetSpans.size(); ++i) {
        const OffsetSpan& s = m_offsetSpans[i];
        if (t >= s.first && t <= s.last) {
            m_lastSpan = i;
            offset = s.offset;
            return true;
        }
    }
    long here = 0;
    if (!offsetOf(t, here))
        return false;
    // Walk out a day at a time (clocks never change twice within a day) up to a year each way,
    // then find the exact second where the offset changes.
    constexpr std::int64_t kDay = 86400, kReach = 366 * kDay;
    // The furthest second from t, going the way of `step` (-1 or 1), with the same offset.
    const auto edge = [&](std::int64_t step) {
        long o = 0;
        std::int64_t inside = t;
        while ((inside - t) * step < kReach && offsetOf(inside + step * kDay, o) && o == here)
            inside += step * kDay;
        if ((inside - t) * step < kReach) { // the offset differs within the next day
            std::int64_t outside = inside + step * kDay;
            while ((outside - inside) * step > 1) {
                const std::int64_t mid = inside + (outside - inside) / 2;
                if (offsetOf(mid, o) && o == here)
                    inside = mid;
                else
                    outside = mid;
            }
        }
        return inside;
    };
    const std::int64_t first = edge(-1);
    const std::int64_t last = edge(1);
    if (m_offsetSpans.size() >= 512)
        m_offsetSpans.clear();
    m_offsetSpans.push_back({first, last, here});
    m_lastSpan = m_offsetSpans.size() - 1;
    offset = here;
    return true;
}

bool LocalClock::localTime(std::int64_t t, std::tm& out)
{
    if (!m_checked) {
        // A zone that counts leap seconds ("right/...") disagrees with plain arithmetic on
        // any recent date: then every date goes through the C library.
        m_checked = true;
        const std::time_t probe = 1700000000;
        std::tm real{};
        m_arithmetic =
            localtime_r(&probe, &real) && (probe + real.tm_gmtoff) % 86400 ==
                                              real.tm_hour * 3600 + real.tm_min * 60 + real.tm_sec;
    }
    long offset = 0;
    if (!m_arithmetic || !utcOffset(t, offset)) {
        const std::time_t when = static_cast<std::time_t>(t);
        return localtime_r(&when, &out) != nullptr;
    }
    const std::int64_t local = t + offset;
    const std::int64_t days = floorDiv(local, 86400);
    const auto seconds = static_cast<int>(local - days * 86400);
    std::int64_t year = 0;
    int month = 0, day = 0;
    civilFromDays(days, year, month, day);
    out = std::tm{};
    out.tm_year = static_cast<int>(year - 1900);
    out.tm_mon = month - 1;
    out.tm_mday = day;
    out.tm_hour = seconds / 3600;
    out.tm_min = seconds / 60 % 60;
    out.tm_sec = seconds % 60;
    out.tm_gmtoff = offset;
    return true;
}

} // namespace quillmap
