#include "listing/ListingJsonReader.h"

#include "listing/FiltersJson.h"
#include "listing/ListingJsonWriter.h"
#include "listing/NcduParse.h"
#include "scan/FileInfo.h"
#include "support/JsonPullParser.h"

#include <QDateTime>

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace quillmap {

using Id = NodeStore::Id;
using Token = JsonPullParser::Token;
using Result = ListingJsonReader::Result;

namespace {

bool decodeHex(const std::string& hex, std::string& out)
{
    if (hex.size() % 2 != 0)
        return false;
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    out.clear();
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(char(hi << 4 | lo));
    }
    return true;
}

std::uint8_t attributeBit(const std::string& name)
{
    static const std::pair<const char*, std::uint8_t> names[] = {
        {"readonly", FileInfo::kReadOnly},
        {"hidden", FileInfo::kHidden},
        {"system", FileInfo::kSystem},
        {"archive", FileInfo::kArchive},
        {"compressed", FileInfo::kCompressed}};
    for (const auto& [n, bit] : names)
        if (name == n)
            return bit;
    return 0; // a name from a later version: nothing this one keeps
}

// One listing's parse: the grammar comes from the parser, the meaning from here.
class Parse
{
public:
    Parse(JsonPullParser& json, bool keepUnread) : m_json(json), m_keepUnread(keepUnread) {}

    Result run();
    std::string detail;
    NodeStore store;
    SearchRecord record;
    bool ncdu = false; // an ncdu export

private:
    Result syntax();
    // A token that does not belong: broken JSON when the parser says so, else a bad listing.
    Result invalid(std::string what)
    {
        if (!m_json.error().empty())
            return syntax();
        detail = std::move(what);
        return Result::Invalid;
    }
    // The next token must be a string (or, for `bytes`, hex digits of one); false otherwise.
    bool stringValue(std::string& out, bool bytes = false);
    Result readOptions();
    Result readUnread();
    Result readTree();

    JsonPullParser& m_json;
    const bool m_keepUnread;
};

Result Parse::syntax()
{
    return ListingJsonReader::syntaxError(m_json, detail);
}

bool Parse::stringValue(std::string& out, bool bytes)
{
    if (m_json.next() != Token::String)
        return false;
    if (bytes)
        return decodeHex(m_json.string(), out);
    out = m_json.string();
    return true;
}

Result Parse::readOptions()
{
    if (m_json.next() != Token::BeginObject)
        return invalid("the options are not an object");
    for (;;) {
        const Token t = m_json.next();
        if (t == Token::EndObject)
            return Result::Ok;
        if (t != Token::Key)
            return syntax();
        const std::string name = m_json.string();
        std::string value;
        if (name == "levels" || name == "types") {
            if (!stringValue(value))
                return invalid("a bad option");
            (name == "levels" ? record.levels : record.types) = QString::fromStdString(value);
        } else if (name == "details") {
            if (m_json.next() != Token::BeginArray)
                return invalid("the details are not a list");
            for (Token d = m_json.next(); d != Token::EndArray; d = m_json.next()) {
                if (d != Token::String)
                    return invalid("a bad detail");
                for (int i = 1; i <= DetailTicks::kCount; ++i)
                    if (m_json.string() == ListingJsonWriter::detailName(i))
                        record.details.set(i, true);
            }
        } else if (name == "filters") {
            record.filters = ScanFilters();
            if (!ReadFiltersJson(m_json, record.filters))
                return invalid("bad filters");
        } else if (!m_json.skipValue()) {
            return syntax();
        }
    }
}

Result Parse::readUnread()
{
    if (m_json.next() != Token::BeginArray)
        return invalid("the unread entries are not a list");
    // Kept up to a bound in number and in size: past it, only counted.
    constexpr std::size_t kMaxBytes = std::size_t(1) << 25;
    std::size_t bytes = 0;
    std::uint64_t more = 0;
    for (Token t = m_json.next(); t != Token::EndArray; t = m_json.next()) {
        if (t != Token::String)
            return invalid("a bad unread entry");
        if (!m_keepUnread)
            continue;
        bytes += m_json.string().size();
        if (record.report.problems.size() < ListingJsonReader::kMaxUnread && bytes <= kMaxBytes)
            record.report.problems.append(QString::fromStdString(m_json.string()));
        else
            ++more;
    }
    if (more != 0)
        record.report.problems.append(
            QStringLiteral("... and %1 more entries that could not be read").arg(more));
    return Result::Ok;
}

// The root node and everything below it, depth first, with the open folders on a stack of
// our own rather than the call stack.
Result Parse::readTree()
{
    if (m_json.next() != Token::BeginObject)
        return invalid("the tree is not a node");

    struct Open
    {
        Id id;
        std::size_t keyLength;
    };
    std::vector<Open> open; // the nodes whose children are being read
    std::string path;       // the key of open.back()
    std::string key, text, field;
    NodeStore::Details details;
    bool haveKey = false, haveText = false, haveKeyBytes = false, haveTextBytes = false;
    bool haveDetails = false;
    enum class In
    {
        Node,
        Children,
        AfterChildren
    } in = In::Node;

    // Adds the node read so far; `folder` when it has a list of children.
    const auto addNode = [&](bool withChildren, Id& id) -> Result {
        if (!haveKey || !haveText)
            return invalid("a node without key or text");
        const NodeStore::Details* d = haveDetails ? &details : nullptr;
        if (open.empty()) {
            if (store.size() != 0)
                return invalid("more than one root");
            if (key.empty() || key.back() != '/')
                return invalid("the root's key is not a folder");
            id = store.add(NodeStore::npos, key, text, d);
        } else {
            // Each key continues its parent's with one name (a folder's ending in "/").
            if (key.size() <= path.size() || key.compare(0, path.size(), path) != 0)
                return invalid("a key that does not continue its folder's");
            std::string_view name = std::string_view(key).substr(path.size());
            const bool folder = name.back() == '/';
            if (folder)
                name.remove_suffix(1);
            // "." and ".." would lead out of the folder, to other nodes or out of the root.
            if (name.empty() || name == "." || name == ".." ||
                name.find('/') != std::string_view::npos ||
                name.find('\0') != std::string_view::npos)
                return invalid("a bad name in a key");
            if (withChildren && !folder)
                return invalid("a file with children");
            id = store.addChild(open.back().id, name, folder, text, d);
            // The counts are the tree's own, whatever the file says.
            ++(folder ? record.report.dirCount : record.report.fileCount);
        }
        if (id == NodeStore::npos)
            return invalid("the same key twice");
        return Result::Ok;
    };

    for (;;) {
        const Token t = m_json.next();
        if (t == Token::Error)
            return syntax();
        switch (in) {
        case In::Node:
            if (t == Token::EndObject) {
                Id id = NodeStore::npos;
                if (const Result r = addNode(false, id); r != Result::Ok)
                    return r;
                if (open.empty())
                    return Result::Ok;
                in = In::Children;
                break;
            }
            if (t != Token::Key)
                return syntax();
            field = m_json.string();
            if (field == "key" || field == "key_bytes" || field == "text" ||
                field == "text_bytes") {
                const bool bytes = field.back() == 's';
                const bool isKey = field[0] == 'k';
                std::string value;
                if (!stringValue(value, bytes))
                    return invalid("a bad " + field);
                bool& have = isKey ? haveKey : haveText;
                bool& haveBytes = isKey ? haveKeyBytes : haveTextBytes;
                // The exact bytes win over the display form, whichever comes first.
                if (bytes || !haveBytes) {
                    (isKey ? key : text) = std::move(value);
                    have = true;
                    haveBytes = haveBytes || bytes;
                }
            } else if (field == "size") {
                std::uint64_t v = 0;
                if (m_json.next() != Token::Number || !m_json.unsignedInteger(v))
                    return invalid("a bad size");
                details.size = v;
                haveDetails = true;
            } else if (field == "created" || field == "accessed" || field == "modified") {
                std::int64_t v = 0;
                if (m_json.next() != Token::Number || !m_json.integer(v))
                    return invalid("a bad date");
                (field == "created"    ? details.created
                 : field == "accessed" ? details.accessed
                                       : details.modified) = v;
                haveDetails = true;
            } else if (field == "attributes") {
                if (m_json.next() != Token::BeginArray)
                    return invalid("bad attributes");
                for (Token a = m_json.next(); a != Token::EndArray; a = m_json.next()) {
                    if (a != Token::String)
                        return invalid("bad attributes");
                    details.attributes |= attributeBit(m_json.string());
                }
                haveDetails = true;
            } else if (field == "children") {
                if (m_json.next() != Token::BeginArray)
                    return invalid("children that are not a list");
                Id id = NodeStore::npos;
                if (const Result r = addNode(true, id); r != Result::Ok)
                    return r;
                open.push_back({id, key.size()});
                path = key;
                in = In::Children;
            } else if (!m_json.skipValue()) {
                return syntax();
            }
            break;
        case In::Children:
            if (t == Token::EndArray) {
                in = In::AfterChildren;
                break;
            }
            if (t != Token::BeginObject)
                return invalid("a child that is not a node");
            haveKey = haveText = haveKeyBytes = haveTextBytes = haveDetails = false;
            details = {};
            in = In::Node;
            break;
        case In::AfterChildren:
            if (t == Token::Key) {
                if (!m_json.skipValue())
                    return syntax();
                break;
            }
            if (t != Token::EndObject)
                return syntax();
            open.pop_back();
            if (open.empty())
                return Result::Ok;
            path.resize(open.back().keyLength);
            in = In::Children;
            break;
        }
    }
}

Result Parse::run()
{
    const Token first = m_json.next();
    if (first == Token::Error)
        return syntax();
    // An array: an export in ncdu's format.
    if (first == Token::BeginArray) {
        ncdu = true;
        return ParseNcdu(m_json, m_keepUnread, store, record, detail);
    }
    if (first != Token::BeginObject) {
        detail = "the file holds no object";
        return Result::NotListing;
    }
    bool haveFormat = false, haveTree = false, nodeShaped = false;
    std::int64_t version = -1;
    for (;;) {
        const Token t = m_json.next();
        if (t == Token::Error)
            return syntax();
        if (t == Token::EndObject)
            break;
        if (t != Token::Key)
            return syntax();
        const std::string name = m_json.string();
        Result r = Result::Ok;
        if (name == "format") {
            std::string value;
            if (!stringValue(value) || value != ListingJsonWriter::kFormat) {
                if (!m_json.error().empty())
                    return syntax();
                detail = "another kind of file";
                return Result::NotListing;
            }
            haveFormat = true;
        } else if (name == "version") {
            if (m_json.next() != Token::Number || !m_json.integer(version) || version < 1)
                return invalid("a bad version");
        } else if (name == "options") {
            r = readOptions();
        } else if (name == "searched") {
            std::string value;
            if (!stringValue(value))
                return invalid("a bad date of the search");
            const QDateTime when =
                QDateTime::fromString(QString::fromStdString(value), Qt::ISODate);
            record.searchedAt = when.isValid() ? when.toSecsSinceEpoch() : 0;
        } else if (name == "unread") {
            r = readUnread();
        } else if (name == "tree") {
            if (haveTree)
                return invalid("two trees");
            haveTree = true;
            r = readTree();
        } else {
            // The first listings were a bare root node: {"key", "text", "children"}.
            if (name == "key" || name == "children")
                nodeShaped = true;
            if (!m_json.skipValue())
                return syntax();
        }
        // What doesn't hold together in a file that never said it is a listing: another file.
        if (r == Result::Invalid && !haveFormat)
            return Result::NotListing;
        if (r != Result::Ok)
            return r;
    }
    if (m_json.next() != Token::End)
        return syntax();
    if (!haveFormat) {
        detail = nodeShaped ? "a listing without a version" : "no listing";
        return nodeShaped ? Result::NoVersion : Result::NotListing;
    }
    if (version < 0) {
        detail = "a listing without a version";
        return Result::NoVersion;
    }
    if (version > ListingJsonWriter::kVersion) {
        detail = "listing version " + std::to_string(version);
        return Result::NewerVersion;
    }
    if (!haveTree || store.size() == 0)
        return invalid("no tree");
    // The root's key is the folder ("folder" repeats it for readers of the file).
    record.folder = store.key(store.firstTopLevel());
    return Result::Ok;
}

} // namespace

Result ListingJsonReader::syntaxError(const JsonPullParser& json, std::string& detail)
{
    detail = json.error() + " (at byte " + std::to_string(json.offset()) + ")";
    if (json.tooLong()) {
        detail = "a string longer than " + std::to_string(json.maxString()) + " bytes" +
                 " (at byte " + std::to_string(json.offset()) + ")";
        return Result::TooLong;
    }
    return json.truncated() ? Result::Truncated : Result::NotJson;
}

const char* ListingJsonReader::englishText(Result result)
{
    switch (result) {
    case Result::Ok:
        return "";
    case Result::CannotOpen:
        return "the file can't be read";
    case Result::NotJson:
        return "the file is not a saved listing (it is not JSON)";
    case Result::Truncated:
        return "the file is cut short";
    case Result::TooLong:
        return "the listing holds a text longer than this program reads";
    case Result::NotListing:
        return "the file is not a saved listing";
    case Result::NoVersion:
        return "the listing was saved by an older version without a format version; save it "
               "again";
    case Result::NewerVersion:
        return "the listing was saved by a newer version of the program";
    case Result::Invalid:
        return "the listing is damaged";
    }
    return "";
}

Result ListingJsonReader::fail(Result result, std::string detail)
{
    m_detail = std::move(detail);
    return result;
}

Result ListingJsonReader::read(std::FILE* in, NodeStore& store, SearchRecord& record)
{
    m_errno = 0;
    m_detail.clear();
    m_ncdu = false;
    int readError = 0;
    JsonPullParser json([in, &readError](char* buffer, std::size_t size) {
        const std::size_t n = std::fread(buffer, 1, size, in);
        if (n == 0 && std::ferror(in))
            readError = errno ? errno : EIO;
        return n;
    });
    Parse parse(json, m_keepUnread);
    const Result result = parse.run();
    m_ncdu = parse.ncdu;
    if (readError != 0) {
        m_errno = readError;
        return fail(Result::CannotOpen, "read error");
    }
    if (result != Result::Ok)
        return fail(result, parse.detail);
    store = std::move(parse.store);
    record = std::move(parse.record);
    return Result::Ok;
}

Result ListingJsonReader::read(const std::string& path, NodeStore& store, SearchRecord& record)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        m_errno = errno;
        return fail(Result::CannotOpen, "cannot open");
    }
    struct stat st;
    if (::fstat(fileno(in), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(in);
        m_errno = EISDIR;
        return fail(Result::CannotOpen, "a folder");
    }
    const Result r = read(in, store, record);
    std::fclose(in);
    return r;
}

} // namespace quillmap
