#pragma once

#include "scan/DetailTicks.h"
#include "scan/FileInfo.h"

#include <QLocale>

#include <array>
#include <climits>
#include <ctime>
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
    explicit FileLine(const QLocale& locale = QLocale::system());

    // Replaces `out` with the line (bytes; the name is kept as it is).
    void build(std::string& out, std::string_view name, const FileInfo& info,
               DetailTicks ticks) const;
    std::string build(std::string_view name, const FileInfo& info, DetailTicks ticks) const;

    // Appends one date as the line writes it, or the same-width placeholder when absent.
    void appendDate(std::string& out, const std::optional<std::int64_t>& when) const;

    const std::string& dateSeparator() const { return m_dateSeparator; }
    const std::string& timeSeparator() const { return m_timeSeparator; }

private:
    // Local time of `t`, through a small cache of 15-minute spans: every zone offset and every
    // change of offset falls on a quarter hour, and a file's times often share one.
    bool localTime(std::int64_t t, std::tm& out) const;

    struct Span
    {
        std::int64_t quarter = INT64_MIN; // t / 900 of the span's start
        std::tm start{};                  // local time at the span's start
    };
    mutable std::array<Span, 64> m_spans;
    std::array<std::string, 12> m_months;
    std::string m_dateSeparator;
    std::string m_timeSeparator;
};

} // namespace quillmap
