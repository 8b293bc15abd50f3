#include "listing/ListingJsonWriter.h"

#include "listing/FiltersJson.h"
#include "listing/FolderTotals.h"
#include "scan/FileInfo.h"
#include "scan/SearchRecord.h"
#include "support/PlainBytes.h"
#include "support/Utf8Functions.h"

#include <QDateTime>

#include <charconv>
#include <vector>

namespace quillmap {

using Id = NodeStore::Id;

namespace {

template <typename Int> void appendNumber(std::string& out, Int value)
{
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void appendHex(std::string& out, std::string_view bytes)
{
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : bytes) {
        out.push_back(hex[c >> 4]);
        out.push_back(hex[c & 15]);
    }
}

struct AttributeName
{
    std::uint8_t bit;
    const char* name;
};
constexpr AttributeName kAttributeNames[] = {{FileInfo::kReadOnly, "readonly"},
                                             {FileInfo::kHidden, "hidden"},
                                             {FileInfo::kSystem, "system"},
                                             {FileInfo::kArchive, "archive"},
                                             {FileInfo::kCompressed, "compressed"}};

} // namespace

std::string ListingJsonWriter::detailName(int item)
{
    std::string name = kDetailItems[item - 1].text;
    for (char& c : name)
        c = c == ' ' ? '-' : (c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    return name;
}

void ListingJsonWriter::appendString(std::string& out, std::string_view s)
{
    appendStringValid(out, s);
}

bool ListingJsonWriter::appendStringValid(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    static constexpr PlainBytes kPlain("\"\\");
    bool valid = true;
    out.push_back('"');
    for (std::size_t i = 0; i < s.size();) {
        i = kPlain.copyRun(out, s, i);
        if (i == s.size())
            break;
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = Utf8Functions::SequenceLength(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            valid = false;
            ++i;
            continue;
        }
        if (len > 1) {
            out.append(s.substr(i, len));
            i += len;
            continue;
        }
        ++i;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
            } else {
                out.push_back(char(c));
            }
        }
    }
    out.push_back('"');
    return valid;
}

void ListingJsonWriter::flush(bool force)
{
    if (force || m_buffer.size() >= (1u << 16)) {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
        m_buffer.clear();
    }
}

void ListingJsonWriter::appendField(std::string_view name, std::string_view bytes)
{
    m_buffer.push_back('"');
    m_buffer.append(name);
    m_buffer += "\":";
    if (!appendStringValid(m_buffer, bytes)) {
        m_buffer += ",\"";
        m_buffer.append(name);
        m_buffer += "_bytes\":\"";
        appendHex(m_buffer, bytes);
        m_buffer.push_back('"');
    }
}

// The node's fields up to and including the opening of its children (root and folders: true),
// or the whole object (files: false).
bool ListingJsonWriter::appendNode(Id id, const std::string& key)
{
    const bool root = m_store.parent(id) == NodeStore::npos;
    const bool folder = root || (!key.empty() && key.back() == '/');
    m_buffer.push_back('{');
    appendField("key", key);
    m_buffer.push_back(',');
    appendField("text", m_store.text(id));
    m_buffer += root     ? ",\"kind\":\"root\""
                : folder ? ",\"kind\":\"folder\""
                         : ",\"kind\":\"file\"";
    if (const auto d = m_store.details(id)) {
        if (d->size) {
            m_buffer += ",\"size\":";
            appendNumber(m_buffer, *d->size);
        }
        const std::pair<const char*, const std::optional<std::int64_t>&> dates[] = {
            {",\"created\":", d->created},
            {",\"accessed\":", d->accessed},
            {",\"modified\":", d->modified}};
        for (const auto& [field, value] : dates)
            if (value) {
                m_buffer += field;
                appendNumber(m_buffer, *value);
            }
        m_buffer += ",\"attributes\":[";
        bool first = true;
        for (const AttributeName& a : kAttributeNames)
            if (d->attributes & a.bit) {
                m_buffer += first ? "\"" : ",\"";
                m_buffer += a.name;
                m_buffer.push_back('"');
                first = false;
            }
        m_buffer.push_back(']');
        const std::size_t slash = key.rfind('/');
        const std::string_view name = std::string_view(key).substr(slash + 1);
        if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) {
            m_buffer += ",\"type\":";
            appendString(m_buffer, name.substr(dot + 1));
        }
    }
    if (m_changes && id < m_changes->size()) {
        m_buffer += ",\"change\":\"";
        m_buffer += ChangeWord((*m_changes)[id]);
        m_buffer.push_back('"');
    }
    if (m_totals && folder) {
        m_buffer += ",\"totalSize\":";
        appendNumber(m_buffer, m_totals->size(id));
        m_buffer += ",\"files\":";
        appendNumber(m_buffer, m_totals->files(id));
        m_buffer += ",\"folders\":";
        appendNumber(m_buffer, m_totals->folders(id));
    }
    // Whatever has children gets its list, so the JSON stays whole for any store.
    const bool opens = folder || m_store.firstChild(id) != NodeStore::npos;
    m_buffer += opens ? ",\"children\":[" : "}";
    return opens;
}

bool ListingJsonWriter::write()
{
    m_buffer += "{\"format\":\"";
    m_buffer += kFormat;
    m_buffer += "\",\"version\":";
    appendNumber(m_buffer, kVersion);
    m_buffer.push_back(',');
    appendField("folder", m_record.folder);
    m_buffer += ",\"options\":{\"levels\":";
    appendString(m_buffer, m_record.levels.toStdString());
    m_buffer += ",\"types\":";
    appendString(m_buffer, m_record.types.toStdString());
    m_buffer += ",\"details\":[";
    bool first = true;
    for (int i = 1; i <= DetailTicks::kCount; ++i)
        if (m_record.details.ticked(i)) {
            if (!first)
                m_buffer.push_back(',');
            appendString(m_buffer, detailName(i));
            first = false;
        }
    m_buffer.push_back(']');
    // Only a search that filtered says so: any other listing reads as it always has.
    if (!m_record.filters.isEmpty()) {
        m_buffer += ",\"filters\":";
        AppendFiltersJson(m_buffer, m_record.filters, &ListingJsonWriter::appendString);
    }
    m_buffer += "},\"searched\":";
    appendString(m_buffer, QDateTime::fromSecsSinceEpoch(m_record.searchedAt, Qt::UTC)
                               .toString(Qt::ISODate)
                               .toStdString());
    m_buffer += ",\"dirs\":";
    appendNumber(m_buffer, static_cast<std::uint64_t>(m_record.report.dirCount));
    m_buffer += ",\"files\":";
    appendNumber(m_buffer, static_cast<std::uint64_t>(m_record.report.fileCount));
    m_buffer += ",\"unread\":[";
    for (qsizetype i = 0; i < m_record.report.problems.size(); ++i) {
        if (i > 0)
            m_buffer.push_back(',');
        appendString(m_buffer, m_record.report.problems[i].toStdString());
    }
    m_buffer += "],\"tree\":";

    // A listing has one root, as a search makes.
    const Id root = m_store.firstTopLevel();
    if (root == NodeStore::npos) {
        m_buffer += "null";
    } else {
        // Each key is built from its parent's, rather than from the root for every node.
        std::string key;
        std::vector<std::size_t> keyLengths; // by depth
        std::vector<bool> hasChildren;       // by depth: the node there opened a children array
        const auto enter = [&](Id id, std::uint32_t depth) {
            if (depth > 0 && m_store.firstChild(m_store.parent(id)) != id)
                m_buffer.push_back(',');
            if (depth > 0)
                key.resize(keyLengths[depth - 1]);
            if (depth == 0 || !m_store.appendKeyTail(id, key))
                key = m_store.key(id);
            keyLengths.resize(depth + 1);
            keyLengths[depth] = key.size();
            hasChildren.resize(depth + 1);
            hasChildren[depth] = appendNode(id, key);
            flush();
            return true;
        };
        m_store.walk(root, false, enter, [&](Id, std::uint32_t depth) {
            if (hasChildren[depth])
                m_buffer += "]}";
        });
    }
    m_buffer += "}\n";
    flush(true);
    return std::fflush(m_out) == 0 && !std::ferror(m_out);
}

} // namespace quillmap
