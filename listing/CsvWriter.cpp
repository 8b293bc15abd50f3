#include "listing/CsvWriter.h"

#include "listing/ChunkedOutput.h"
#include "listing/FolderTotals.h"
#include "scan/FileInfo.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include "support/LocalClock.h"
#include "support/Utf8Functions.h"

#include <array>
#include <charconv>
#include <ctime>
#include <vector>

#include <unistd.h>

namespace quillmap {

namespace {

void appendNumber(std::string& out, std::uint64_t v)
{
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
}

// The attribute letters in the options list's order; "N" for none.
void appendAttributeLetters(std::string& out, std::uint32_t a)
{
    const std::size_t start = out.size();
    if (a & FileInfo::kArchive)
        out += 'A';
    if (a & FileInfo::kCompressed)
        out += 'C';
    if (a & FileInfo::kHidden)
        out += 'H';
    if (a & FileInfo::kReadOnly)
        out += 'R';
    if (a & FileInfo::kSystem)
        out += 'S';
    if (out.size() == start)
        out += 'N';
}

// Whether a spreadsheet would read the cell as a number, a date, a time, a percentage, a sum
// of money or a truth value, and so lose its text: a file named "0012" would show as 12, a
// folder named "2024-01-01" as a date. Generous: a cell of digits and the characters numbers,
// dates and times are written with counts, whatever the spreadsheet's language.
bool looksLikeValue(std::string_view s)
{
    const auto lower = [](std::string_view v) {
        std::string out(v);
        for (char& c : out)
            c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return out;
    };
    if (s.size() <= 5 && (lower(s) == "true" || lower(s) == "false"))
        return true;
    if (s.size() > 2) {
        const std::string tail = lower(s.substr(s.size() - 2));
        if (tail == "am" || tail == "pm")
            s.remove_suffix(2);
    }
    bool digit = false;
    for (const char c : s) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (std::string_view(" .,:/-'%()eE+$").find(c) == std::string_view::npos)
            return false;
    }
    return digit;
}

} // namespace

void CsvWriter::appendCell(std::string& out, std::string_view text, bool terminal)
{
    // One look at each byte, for what it asks: bit 1 quotes around the cell, bit 2 a check of
    // the UTF-8. Valid UTF-8 goes as it is; the rest takes the display text's way.
    static constexpr auto kNeeds = [] {
        std::array<unsigned char, 256> t{};
        for (const char c : {'"', ',', '\r', '\n'})
            t[static_cast<unsigned char>(c)] = 1;
        for (int c = 0x80; c < 0x100; ++c)
            t[c] = 2;
        return t;
    }();
    const auto look = [](std::string_view bytes) {
        unsigned needs = 0;
        for (const char c : bytes)
            needs |= kNeeds[static_cast<unsigned char>(c)];
        return needs;
    };
    unsigned needs = look(text);
    QByteArray valid;
    std::string visible;
    std::string_view s = text;
    if (terminal) {
        Utf8Functions::AppendVisible(visible, text);
        s = visible;
        needs = look(s) & 1;
    }
    if ((needs & 2) && !Utf8Functions::IsValid(text)) {
        valid = NodeStore::displayString(text).toUtf8();
        s = std::string_view(valid.constData(), std::size_t(valid.size()));
        needs = look(s);
    }
    // A formula, or a text a spreadsheet would turn into a number: a ' in front keeps it text.
    const bool formula =
        !s.empty() &&
        (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@' || s[0] == '\t' || s[0] == '\r' ||
         (std::string_view("0123456789.($tTfF").find(s[0]) != std::string_view::npos &&
          looksLikeValue(s)));
    if (!formula && !(needs & 1)) {
        out.append(s);
        return;
    }
    out.push_back('"');
    if (formula)
        out.push_back('\'');
    for (char c : s) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void CsvWriter::appendIsoDate(std::string& out, std::int64_t seconds, LocalClock& clock)
{
    std::tm tm{};
    if (!clock.localTime(seconds, tm))
        return;
    const long long year = 1900LL + tm.tm_year;
    if (year < 0 || year > 9999)
        out += year < 0 ? '-' : '+'; // ISO 8601's expanded years
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, year < 0 ? -year : year).ptr;
    out.append(end - digits < 4 ? std::size_t(4 - (end - digits)) : 0, '0');
    out.append(digits, end);
    long offset = tm.tm_gmtoff;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    // "-MM-DDTHH:MM:SS+HH:MM" filled in place and appended at once.
    char rest[] = "-00-00T00:00:00+00:00";
    const auto two = [](char* at, long v) {
        at[0] = char('0' + v / 10 % 10);
        at[1] = char('0' + v % 10);
    };
    two(rest + 1, tm.tm_mon + 1);
    two(rest + 4, tm.tm_mday);
    two(rest + 7, tm.tm_hour);
    two(rest + 10, tm.tm_min);
    two(rest + 13, tm.tm_sec);
    rest[15] = sign;
    two(rest + 16, offset / 3600);
    two(rest + 19, offset / 60 % 60);
    out.append(rest, sizeof rest - 1);
}

bool CsvWriter::write(std::FILE* out)
{
    // Shown on a terminal, nothing of a name may act on it; a file gets the exact text.
    const bool terminal = ::isatty(::fileno(out)) == 1;
    const FolderTotals totals(m_tree);
    LocalClock clock;
    std::string buffer =
        "level,kind,path,name,size,created,last accessed,last modified,attributes,type,"
        "total size,files,folders,problem\r\n";
    // What the search left out, where it left anything out: one row under the headings.
    if (!m_record.filters.isEmpty()) {
        buffer += ",filters,,";
        appendCell(buffer, m_record.filters.describe().toStdString(), terminal);
        buffer += ",,,,,,,,,,\r\n";
    }
    ChunkedOutput output(out, buffer);
    // The key of the node being written, built from its parent's: keyLengths[d] is how much of
    // it the node at depth d inherits.
    std::string key;
    std::vector<std::size_t> keyLengths{0};
    const auto visit = [&](NodeStore::Id id, std::uint32_t level) {
        const bool folder = m_tree.isFolder(id);
        const std::string_view name = m_tree.name(id);
        key.resize(keyLengths[level]);
        if (level == 0 || !m_tree.appendKeyTail(id, key))
            m_tree.key(id, key);
        keyLengths.resize(level + 2);
        keyLengths[level + 1] = key.size();
        std::string_view path = key;
        if (path.size() > 1 && path.back() == '/')
            path.remove_suffix(1);
        appendNumber(buffer, level);
        buffer += level == 0 ? ",root," : folder ? ",folder," : ",file,";
        appendCell(buffer, path, terminal);
        buffer += ',';
        if (level == 0)
            appendCell(buffer, path, terminal);
        else
            appendCell(buffer, name, terminal);
        buffer += ',';
        if (const auto r = m_tree.details(id)) {
            if (r->size)
                appendNumber(buffer, *r->size);
            for (const auto* date : {&r->created, &r->accessed, &r->modified}) {
                buffer += ',';
                if (*date)
                    appendIsoDate(buffer, **date, clock);
            }
            buffer += ',';
            appendAttributeLetters(buffer, r->attributes);
            buffer += ',';
            if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
                appendCell(buffer, name.substr(dot + 1), terminal);
        } else {
            buffer += ",,,,,";
        }
        buffer += ',';
        if (folder) {
            appendNumber(buffer, totals.size(id));
            buffer += ',';
            appendNumber(buffer, totals.files(id));
            buffer += ',';
            appendNumber(buffer, totals.folders(id));
        } else {
            buffer += ",,";
        }
        buffer += ",\r\n";
        output.flush();
        return true;
    };
    m_tree.walk(m_tree.firstTopLevel(), true, visit, [](NodeStore::Id, std::uint32_t) {});
    // What could not be read, after the tree: the path, and why.
    const ScanReport& report = m_record.report;
    // (A listing read back from JSON has the problems' texts only: the path cell stays empty.)
    for (qsizetype i = 0; i < report.problems.size(); ++i) {
        const std::string p =
            std::size_t(i) < report.problemPaths.size() ? report.problemPaths[i] : std::string();
        buffer += ",unreadable,";
        appendCell(buffer, p, terminal);
        buffer += ',';
        appendCell(buffer, std::string_view(p).substr(p.rfind('/') + 1), terminal);
        buffer += ",,,,,,,,,,";
        appendCell(buffer, report.problemReason(i).toStdString(), terminal);
        buffer += "\r\n";
    }
    return output.finish();
}

void CsvWriter::appendAttributeLetters(std::string& out, std::uint32_t attributes)
{
    quillmap::appendAttributeLetters(out, attributes);
}

} // namespace quillmap
