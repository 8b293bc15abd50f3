#include "listing/CsvWriter.h"

#include "platform/tree/NodeStore.h"
#include "scan/FileInfo.h"
#include "scan/FolderTotals.h"
#include "scan/SearchRecord.h"

#include <ctime>

namespace quillmap {

namespace {

void appendTwo(std::string& out, long v)
{
    out.push_back(char('0' + v / 10 % 10));
    out.push_back(char('0' + v % 10));
}

// The attribute letters in the options list's order; "N" for none.
std::string attributeLetters(std::uint32_t a)
{
    std::string s;
    if (a & FileInfo::kArchive)
        s += 'A';
    if (a & FileInfo::kCompressed)
        s += 'C';
    if (a & FileInfo::kHidden)
        s += 'H';
    if (a & FileInfo::kReadOnly)
        s += 'R';
    if (a & FileInfo::kSystem)
        s += 'S';
    return s.empty() ? std::string("N") : s;
}

} // namespace

void CsvWriter::appendCell(std::string& out, std::string_view text)
{
    const QByteArray valid = NodeStore::displayString(text).toUtf8();
    const std::string_view s(valid.constData(), std::size_t(valid.size()));
    const bool formula = !s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@' ||
                                        s[0] == '\t' || s[0] == '\r');
    const bool quote = formula || s.find_first_of("\",\r\n") != std::string_view::npos;
    if (!quote) {
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

void CsvWriter::appendIsoDate(std::string& out, std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return;
    const long long year = 1900LL + tm.tm_year;
    if (year < 0 || year > 9999)
        out += year < 0 ? '-' : '+'; // ISO 8601's expanded years
    const std::string digits = std::to_string(year < 0 ? -year : year);
    out.append(digits.size() < 4 ? 4 - digits.size() : 0, '0');
    out += digits;
    out += '-';
    appendTwo(out, tm.tm_mon + 1);
    out += '-';
    appendTwo(out, tm.tm_mday);
    out += 'T';
    appendTwo(out, tm.tm_hour);
    out += ':';
    appendTwo(out, tm.tm_min);
    out += ':';
    appendTwo(out, tm.tm_sec);
    long offset = tm.tm_gmtoff;
    out += offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    appendTwo(out, offset / 3600);
    out += ':';
    appendTwo(out, offset / 60 % 60);
}

bool CsvWriter::write(std::FILE* out)
{
    const FolderTotals totals(m_tree);
    std::string buffer =
        "level,kind,path,name,size,created,last accessed,last modified,attributes,type,"
        "total size,files,folders,problem\r\n";
    bool ok = true;
    const auto flush = [&](bool force) {
        if (force || buffer.size() >= (1u << 16)) {
            ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
            buffer.clear();
        }
    };
    std::string path;
    const auto visit = [&](NodeStore::Id id, std::uint32_t level) {
        const bool folder = m_tree.isFolder(id);
        const std::string_view name = m_tree.name(id);
        path = m_tree.key(id);
        if (path.size() > 1 && path.back() == '/')
            path.pop_back();
        buffer += std::to_string(level);
        buffer += level == 0 ? ",root," : folder ? ",folder," : ",file,";
        appendCell(buffer, path);
        buffer += ',';
        if (level == 0)
            appendCell(buffer, path);
        else
            appendCell(buffer, name);
        buffer += ',';
        if (const auto r = m_tree.details(id)) {
            if (r->size)
                buffer += std::to_string(*r->size);
            for (const auto* date : {&r->created, &r->accessed, &r->modified}) {
                buffer += ',';
                if (*date)
                    appendIsoDate(buffer, **date);
            }
            buffer += ',';
            buffer += attributeLetters(r->attributes);
            buffer += ',';
            if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
                appendCell(buffer, name.substr(dot + 1));
        } else {
            buffer += ",,,,,";
        }
        buffer += ',';
        if (folder) {
            buffer += std::to_string(totals.size(id));
            buffer += ',';
            buffer += std::to_string(totals.files(id));
            buffer += ',';
            buffer += std::to_string(totals.folders(id));
        } else {
            buffer += ",,";
        }
        buffer += ",\r\n";
        flush(false);
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
        appendCell(buffer, p);
        buffer += ',';
        appendCell(buffer, std::string_view(p).substr(p.rfind('/') + 1));
        buffer += ",,,,,,,,,,";
        appendCell(buffer, report.problemReason(i).toStdString());
        buffer += "\r\n";
    }
    flush(true);
    return ok && std::fflush(out) == 0 && !std::ferror(out);
}

} // namespace quillmap
