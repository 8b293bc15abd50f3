#include "listing/NcduParse.h"

#include "listing/FiltersJson.h"
#include "scan/FileInfo.h"
#include "scan/SearchRecord.h"
#include "support/JsonPullParser.h"
#include "tree/NodeStore.h"

#include <sys/stat.h>
#include <vector>

namespace quillmap {

using Id = NodeStore::Id;
using Token = JsonPullParser::Token;
using Result = ListingJsonReader::Result;

namespace {

// One entry's info object.
struct Info
{
    std::string name;
    bool haveName = false;
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modified;
    std::optional<std::uint64_t> mode;
    bool readError = false;
    bool excluded = false;
};

class Parse
{
public:
    Parse(JsonPullParser& json, bool keepUnread) : m_json(json), m_keepUnread(keepUnread) {}

    Result run();
    std::string detail;
    NodeStore store;
    SearchRecord record;

private:
    Result syntax();
    Result invalid(std::string what)
    {
        if (!m_json.error().empty())
            return syntax();
        detail = std::move(what);
        return Result::Invalid;
    }
    // The members of an info object whose "{" was read.
    Result readInfo(Info& info);
    Result readMetadata();
    // The rest of an array whose "[" and first element were read.
    Result skipRest();
    Result add(Id parent, const Info& info, bool folder, const std::string& path, Id& id);
    void unread(const std::string& path);

    JsonPullParser& m_json;
    const bool m_keepUnread;
    bool m_ours = false;       // metadata of this program: its record, not guessed
    bool m_haveUnread = false; // the metadata lists the entries that could not be read
    std::vector<std::string> unreadTexts;
    std::vector<std::string> unreadPaths;
};

Result Parse::syntax()
{
    return ListingJsonReader::syntaxError(m_json, detail);
}

Result Parse::readInfo(Info& info)
{
    for (;;) {
        const Token t = m_json.next();
        if (t == Token::EndObject)
            break;
        if (t != Token::Key)
            return syntax();
        const std::string field = m_json.string();
        if (field == "name") {
            if (m_json.next() != Token::String)
                return invalid("a bad name");
            info.name = m_json.string();
            info.haveName = true;
        } else if (field == "asize" || field == "mode") {
            std::uint64_t v = 0;
            if (m_json.next() != Token::Number || !m_json.unsignedInteger(v))
                return invalid("a bad " + field);
            (field == "asize" ? info.size : info.mode) = v;
        } else if (field == "mtime") {
            std::int64_t v = 0;
            if (m_json.next() != Token::Number || !m_json.integer(v))
                return invalid("a bad mtime");
            info.modified = v;
        } else if (field == "read_error") {
            const Token v = m_json.next();
            if (v != Token::True && v != Token::False)
                return invalid("a bad read_error");
            info.readError = v == Token::True;
        } else if (field == "excluded") {
            if (m_json.next() != Token::String)
                return invalid("a bad excluded");
            info.excluded = true;
        } else if (!m_json.skipValue()) {
            return syntax();
        }
    }
    if (!info.haveName)
        return invalid("an entry without a name");
    return Result::Ok;
}

Result Parse::readMetadata()
{
    if (m_json.next() != Token::BeginObject)
        return invalid("the metadata is not an object");
    for (;;) {
        const Token t = m_json.next();
        if (t == Token::EndObject)
            return Result::Ok;
        if (t != Token::Key)
            return syntax();
        const std::string name = m_json.string();
        if (name == "timestamp") {
            std::int64_t v = 0;
            if (m_json.next() != Token::Number || !m_json.integer(v))
                return invalid("a bad timestamp");
            record.searchedAt = v;
        } else if (name == "quillmap") {
            // What this program wrote about its search.
            if (m_json.next() != Token::BeginObject)
                return invalid("bad options");
            m_ours = true;
            for (Token k = m_json.next(); k != Token::EndObject; k = m_json.next()) {
                if (k != Token::Key)
                    return syntax();
                const std::string option = m_json.string();
                if (option == "levels" || option == "types") {
                    if (m_json.next() != Token::String)
                        return invalid("a bad option");
                    (option == "levels" ? record.levels : record.types) =
                        QString::fromStdString(m_json.string());
                } else if (option == "filters") {
                    record.filters = ScanFilters();
                    if (!ReadFiltersJson(m_json, record.filters))
                        return invalid("bad filters");
                } else if (option == "unread" || option == "unreadPaths") {
                    if (m_json.next() != Token::BeginArray)
                        return invalid("the unread entries are not a list");
                    m_haveUnread = true;
                    std::vector<std::string> paths;
                    for (Token u = m_json.next(); u != Token::EndArray; u = m_json.next()) {
                        if (u != Token::String)
                            return invalid("a bad unread entry");
                        if (!m_keepUnread ||
                            (option == "unread" ? unreadTexts.size() : paths.size()) >=
                                std::size_t(ListingJsonReader::kMaxUnread))
                            continue;
                        if (option == "unread")
                            unreadTexts.push_back(m_json.string());
                        else
                            paths.push_back(m_json.string());
                    }
                    if (option == "unreadPaths")
                        unreadPaths = std::move(paths);
                } else if (!m_json.skipValue()) {
                    return syntax();
                }
            }
        } else if (!m_json.skipValue()) {
            return syntax();
        }
    }
}

Result Parse::skipRest()
{
    for (std::size_t depth = 1; depth > 0;) {
        const Token t = m_json.next();
        if (t == Token::Error || t == Token::End)
            return syntax();
        if (t == Token::BeginArray || t == Token::BeginObject)
            ++depth;
        else if (t == Token::EndArray || t == Token::EndObject)
            --depth;
    }
    return Result::Ok;
}

void Parse::unread(const std::string& path)
{
    if (m_haveUnread || !m_keepUnread ||
        record.report.problems.size() >= ListingJsonReader::kMaxUnread)
        return;
    record.report.problems.append(NodeStore::displayString(path) +
                                  QStringLiteral(": could not be read"));
    record.report.problemPaths.push_back(path);
}

Result Parse::add(Id parent, const Info& info, bool folder, const std::string& path, Id& id)
{
    const std::string_view name = info.name;
    // "." and ".." would lead out of the folder, to other nodes or out of the root.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return invalid("a bad name");
    NodeStore::Details details;
    const bool withDetails = !folder && !info.readError;
    if (withDetails) {
        details.size = info.size.value_or(0);
        details.modified = info.modified;
        std::uint32_t attributes = name[0] == '.' ? std::uint32_t(FileInfo::kHidden) : 0u;
        if (info.mode && !(*info.mode & S_IWUSR))
            attributes |= FileInfo::kReadOnly;
        details.attributes = static_cast<std::uint8_t>(attributes);
    }
    id = store.addChild(parent, name, folder, name, withDetails ? &details : nullptr);
    if (id == NodeStore::npos)
        return invalid("the same name twice");
    ++(folder ? record.report.dirCount : record.report.fileCount);
    if (info.readError)
        unread(path + info.name);
    return Result::Ok;
}

Result Parse::run()
{
    std::int64_t major = 0;
    if (m_json.next() != Token::Number || !m_json.integer(major) || major != 1) {
        if (!m_json.error().empty())
            return syntax();
        detail = "not an ncdu export";
        return Result::NotListing;
    }
    // An array that does not go on as an export does is another file.
    const auto other = [this](Result r) {
        if (r == Result::Invalid)
            detail = "not an ncdu export: " + detail;
        return r == Result::Invalid ? Result::NotListing : r;
    };
    if (m_json.next() != Token::Number)
        return other(invalid("no minor version"));
    if (const Result r = readMetadata(); r != Result::Ok)
        return other(r);
    for (const std::string& text : unreadTexts)
        record.report.problems.append(QString::fromStdString(text));
    if (unreadPaths.size() == unreadTexts.size() && !unreadPaths.empty())
        record.report.problemPaths = std::move(unreadPaths);
    if (!m_ours) {
        // ncdu and gdu list hidden entries.
        record.levels = QStringLiteral("ALL");
        record.types = QStringLiteral("*.*");
        record.filters.hidden = true;
    }

    // The root folder, then each folder's children, with the open folders on a stack of our
    // own rather than the call stack.
    if (m_json.next() != Token::BeginArray || m_json.next() != Token::BeginObject)
        return other(invalid("no folder"));
    Info info;
    if (const Result r = readInfo(info); r != Result::Ok)
        return r;
    std::string path = info.name; // the key of the folder being read
    if (path.empty() || path.find('\0') != std::string::npos)
        return invalid("a bad root");
    if (path.back() != '/')
        path.push_back('/');
    const Id root = store.add(NodeStore::npos, path, path);
    if (info.readError)
        unread(path);
    struct Open
    {
        Id id;
        std::size_t keyLength;
    };
    std::vector<Open> open{{root, path.size()}};
    while (!open.empty()) {
        const Token t = m_json.next();
        if (t == Token::EndArray) {
            open.pop_back();
            if (!open.empty())
                path.resize(open.back().keyLength);
            continue;
        }
        const bool folder = t == Token::BeginArray;
        if (folder && m_json.next() != Token::BeginObject)
            return invalid("a folder without its info");
        if (!folder && t != Token::BeginObject)
            return t == Token::Error ? syntax() : invalid("an entry that is not an object");
        info = Info();
        if (const Result r = readInfo(info); r != Result::Ok)
            return r;
        if (info.excluded) {
            if (folder)
                if (const Result r = skipRest(); r != Result::Ok)
                    return r;
            continue;
        }
        Id id = NodeStore::npos;
        if (const Result r = add(open.back().id, info, folder, path, id); r != Result::Ok)
            return r;
        if (folder) {
            path += info.name;
            path.push_back('/');
            open.push_back({id, path.size()});
        }
    }
    if (m_json.next() != Token::EndArray || m_json.next() != Token::End)
        return invalid("more than one folder");
    record.folder = store.key(root);
    return Result::Ok;
}

} // namespace

Result ParseNcdu(JsonPullParser& json, bool keepUnread, NodeStore& store, SearchRecord& record,
                 std::string& detail)
{
    json.setRawStrings(true); // ncdu writes names as their bytes
    Parse parse(json, keepUnread);
    const Result result = parse.run();
    detail = std::move(parse.detail);
    if (result == Result::Ok) {
        store = std::move(parse.store);
        record = std::move(parse.record);
    }
    return result;
}

} // namespace quillmap
