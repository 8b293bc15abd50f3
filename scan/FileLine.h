#pragma once

#include "scan/DetailTicks.h"
#include "scan/FileInfo.h"
#include "support/LocalClock.h"

#include <QLocale>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quillmap {

// Builds the text of a file node: the name, then the fields of the ticked details, each run of
// "-" the only separator. Dates are written "dd/mmm/yyyy  hh:mm:ss" in local time with the
// locale's abbreviated month names and date and time separators, which are read once when the
// FileLine is made (one per scan), not per file.
class FileLine
{
public:
    // Dates in the user's date locale (LocaleProfile::timeLocale()).
    FileLine();
    explicit FileLine(const QLocale& locale);

    // Replaces `out` with the line (bytes; the name is kept as it is).
    void build(std::string& out, std::string_view name, const FileInfo& info,
               DetailTicks ticks) const;
    std::string build(std::string_view name, const FileInfo& info, DetailTicks ticks) const;

    // Appends one date as the line writes it, or the same-width placeholder when absent.
    void appendDate(std::string& out, const std::optional<std::int64_t>& when) const;

    const std::string& dateSeparator() const { return m_dateSeparator; }
    const std::string& timeSeparator() const { return m_timeSeparator; }

private:
    mutable LocalClock m_clock; // dates in local time, mostly by arithmetic
    // The last two dates written, as a file's three dates are often one or two seconds.
    struct CachedDate
    {
        std::int64_t when = 0;
        std::string text; // empty: nothing cached
    };
    mutable std::array<CachedDate, 2> m_cached;
    mutable std::size_t m_cacheNext = 0;
    std::array<std::string, 12> m_months;
    std::string m_dateSeparator;
    std::string m_timeSeparator;
    std::string m_placeholder; // a missing date
};

} // namespace quillmap
