#include "scan/FileLine.h"

#include "platform/locale/LocaleProfile.h"
#include "scan/ScanControls.h"
#include "support/Utf8Functions.h"

#include <algorithm>

#include <charconv>
#include <ctime>

namespace quillmap {

namespace {

// The text between the first two fields of a date or time format; a quoted literal counts as
// text ("HH 'h' mm" gives " h ").
QString separatorOf(const QString& format, const QString& fieldLetters, const QString& fallback)
{
    qsizetype i = 0;
    while (i < format.size() && !fieldLetters.contains(format[i]))
        ++i;
    while (i < format.size() && fieldLetters.contains(format[i]))
        ++i;
    QString sep;
    bool quoted = false;
    for (; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            if (i + 1 < format.size() && format[i + 1] == u'\'') {
                sep += c; // '' is a quote
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (quoted || !c.isLetter()) {
            sep += c;
        } else {
            break;
        }
    }
    return sep.isEmpty() ? fallback : sep;
}

void appendTwo(std::string& out, int v)
{
    out.push_back(char('0' + v / 10 % 10));
    out.push_back(char('0' + v % 10));
}

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

void appendUpper(std::string& out, std::string_view s)
{
    if (!isAscii(s)) {
        // Only valid UTF-8 goes through Unicode case mapping; other bytes stay as they are.
        if (Utf8Functions::IsValid(s)) {
            out.append(QString::fromUtf8(s.data(), qsizetype(s.size())).toUpper().toStdString());
            return;
        }
    }
    for (char c : s)
        out.push_back((c >= 'a' && c <= 'z') ? char(c - 32) : c);
}

} // namespace

DetailTicks DetailTicks::read(const ScanControls& controls)
{
    DetailTicks t;
    for (int i = 1; i <= kCount; ++i)
        if (controls.isTicked(i))
            t.set(i, true);
    return t;
}

FileLine::FileLine() : FileLine(LocaleProfile::timeLocale()) {}

FileLine::FileLine(const QLocale& locale)
{
    qsizetype widest = 0;
    for (int m = 1; m <= 12; ++m) {
        QString month = locale.monthName(m, QLocale::ShortFormat);
        // A separator always follows the month: its own closing point would double it
        // ("08.Dez..2026", "08/déc./2026").
        if (month.endsWith(u'.'))
            month.chop(1);
        widest = std::max(widest, qsizetype(month.toUcs4().size()));
        m_months[m - 1] = month.toStdString();
    }
    // The C locale writes dates as "d MMM yyyy"; it stands for English settings here.
    const bool c = locale.language() == QLocale::C;
    m_dateSeparator = c ? std::string("/")
                        : separatorOf(locale.dateFormat(QLocale::ShortFormat),
                                      QStringLiteral("dMy"), QStringLiteral("/"))
                              .toStdString();
    m_timeSeparator = c ? std::string(":")
                        : separatorOf(locale.timeFormat(QLocale::ShortFormat),
                                      QStringLiteral("hHm"), QStringLiteral(":"))
                              .toStdString();
    // A missing date takes the width of the widest real one, with the same separators.
    m_placeholder = "--" + m_dateSeparator + std::string(std::size_t(widest), '-') +
                    m_dateSeparator + "----  --" + m_timeSeparator + "--" + m_timeSeparator + "--";
}

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

bool FileLine::utcOffset(std::int64_t t, long& offset) const
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
    long o = 0;
    std::int64_t first = t;
    while (t - first < kReach && offsetOf(first - kDay, o) && o == here)
        first -= kDay;
    if (t - first < kReach) { // the offset differs somewhere in (first - kDay, first)
        std::int64_t lo = first - kDay;
        while (first - lo > 1) {
            const std::int64_t mid = lo + (first - lo) / 2;
            if (offsetOf(mid, o) && o == here)
                first = mid;
            else
                lo = mid;
        }
    }
    std::int64_t last = t;
    while (last - t < kReach && offsetOf(last + kDay, o) && o == here)
        last += kDay;
    if (last - t < kReach) {
        std::int64_t hi = last + kDay;
        while (hi - last > 1) {
            const std::int64_t mid = last + (hi - last) / 2;
            if (offsetOf(mid, o) && o == here)
                last = mid;
            else
                hi = mid;
        }
    }
    if (m_offsetSpans.size() >= 512)
        m_offsetSpans.clear();
    m_offsetSpans.push_back({first, last, here});
    m_lastSpan = m_offsetSpans.size() - 1;
    offset = here;
    return true;
}

bool FileLine::localTime(std::int64_t t, std::tm& out) const
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
    return true;
}

void FileLine::appendDate(std::string& out, const std::optional<std::int64_t>& when) const
{
    std::tm tm{};
    if (!when || !localTime(*when, tm)) {
        out.append(m_placeholder);
        return;
    }
    appendTwo(out, tm.tm_mday);
    out.append(m_dateSeparator);
    out.append(m_months[tm.tm_mon]);
    out.append(m_dateSeparator);
    const long long year = 1900LL + tm.tm_year;
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, year < 0 ? -year : year).ptr;
    if (year < 0)
        out.push_back('-');
    for (auto n = end - digits; n < 4; ++n)
        out.push_back('0');
    out.append(digits, end);
    out.append("  ");
    appendTwo(out, tm.tm_hour);
    out.append(m_timeSeparator);
    appendTwo(out, tm.tm_min);
    out.append(m_timeSeparator);
    appendTwo(out, tm.tm_sec);
}

void FileLine::build(std::string& out, std::string_view name, const FileInfo& info,
                     DetailTicks t) const
{
    out.assign(name);
    if (t.ticked(DetailTicks::Archive))
        out.append(info.Archive ? "----A-" : "------");
    if (t.ticked(DetailTicks::Compressed))
        out.append(info.Compressed ? "C-" : "--");
    if (t.ticked(DetailTicks::Hidden))
        out.append(info.Hidden ? "H-" : "--");
    if (t.ticked(DetailTicks::Normal))
        out.append(info.Normal ? "N-" : "--");
    if (t.ticked(DetailTicks::ReadOnly))
        out.append(info.ReadOnly ? "R-" : "--");
    if (t.ticked(DetailTicks::System))
        out.append(info.System ? "S-" : "--");
    const std::optional<std::int64_t>* dates[] = {&info.DateCreated, &info.DateLastAccessed,
                                                  &info.DateLastModified};
    for (int i = 0; i < 3; ++i) {
        if (!t.ticked(DetailTicks::DateCreated + i))
            continue;
        out.append("-----");
        appendDate(out, *dates[i]);
        out.push_back('-');
    }
    if (t.ticked(DetailTicks::Type)) {
        if (info.FileType.empty()) {
            out.append("--------");
        } else {
            out.append("-----");
            appendUpper(out, info.FileType);
        }
    }
    if (t.ticked(DetailTicks::Size)) {
        out.append("-----");
        // Compared by value: "0" (and an unknown size) shows no digits.
        const bool zero = info.Size.find_first_not_of('0') == std::string::npos;
        if (!zero)
            out.append(info.Size);
    }
}

std::string FileLine::build(std::string_view name, const FileInfo& info, DetailTicks ticks) const
{
    std::string out;
    build(out, name, info, ticks);
    return out;
}

} // namespace quillmap
