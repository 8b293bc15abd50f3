#include "scan/FileLine.h"

#include "scan/ScanControls.h"
#include "support/LocaleProfile.h"
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

void FileLine::appendDate(std::string& out, const std::optional<std::int64_t>& when) const
{
    if (when)
        for (const CachedDate& c : m_cached)
            if (c.when == *when && !c.text.empty()) {
                out.append(c.text);
                return;
            }
    std::tm tm{};
    if (!when || !m_clock.localTime(*when, tm)) {
        out.append(m_placeholder);
        return;
    }
    const std::size_t start = out.size();
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
    CachedDate& c = m_cached[m_cacheNext];
    m_cacheNext = (m_cacheNext + 1) % m_cached.size();
    c.when = *when;
    c.text.assign(out, start);
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
