#include "listing/FiltersJson.h"

#include "scan/ScanFilters.h"
#include "support/JsonPullParser.h"

namespace quillmap {

void AppendFiltersJson(std::string& out, const ScanFilters& f,
                       void (*string)(std::string& out, std::string_view text))
{
    out.push_back('{');
    bool first = true;
    const auto key = [&](const char* name) {
        out += first ? "\"" : ",\"";
        out += name;
        out += "\":";
        first = false;
    };
    if (!f.exclude.isEmpty()) {
        key("exclude");
        out.push_back('[');
        for (qsizetype i = 0; i < f.exclude.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            string(out, f.exclude[i].toStdString());
        }
        out.push_back(']');
    }
    for (const auto& [name, on] :
         {std::pair{"hidden", f.hidden}, std::pair{"gitignore", f.gitignore},
          std::pair{"foldersOnly", f.foldersOnly}})
        if (on) {
            key(name);
            out += "true";
        }
    for (const auto& [name, value] :
         {std::pair{"minSize", f.minSize}, std::pair{"maxSize", f.maxSize}})
        if (value) {
            key(name);
            out += std::to_string(*value);
        }
    const auto moment = [&](const char* name, const char* timeName, const QString& text,
                            const std::optional<std::int64_t>& at) {
        if (!text.isEmpty()) {
            key(name);
            string(out, text.toStdString());
        }
        if (at) {
            key(timeName);
            out += std::to_string(*at);
        }
    };
    moment("newer", "newerTime", f.newerText, f.newer);
    moment("older", "olderTime", f.olderText, f.older);
    out.push_back('}');
}

bool ReadFiltersJson(JsonPullParser& json, ScanFilters& f)
{
    using Token = JsonPullParser::Token;
    if (json.next() != Token::BeginObject)
        return false;
    for (;;) {
        const Token t = json.next();
        if (t == Token::EndObject)
            return true;
        if (t != Token::Key)
            return false;
        const std::string name = json.string();
        if (name == "exclude") {
            if (json.next() != Token::BeginArray)
                return false;
            for (Token p = json.next(); p != Token::EndArray; p = json.next()) {
                if (p != Token::String)
                    return false;
                f.exclude << QString::fromStdString(json.string());
            }
        } else if (name == "hidden" || name == "gitignore" || name == "foldersOnly") {
            const Token v = json.next();
            if (v != Token::True && v != Token::False)
                return false;
            (name == "hidden"      ? f.hidden
             : name == "gitignore" ? f.gitignore
                                   : f.foldersOnly) = v == Token::True;
        } else if (name == "minSize" || name == "maxSize") {
            std::uint64_t v = 0;
            if (json.next() != Token::Number || !json.unsignedInteger(v))
                return false;
            (name == "minSize" ? f.minSize : f.maxSize) = v;
        } else if (name == "newer" || name == "older") {
            if (json.next() != Token::String)
                return false;
            (name == "newer" ? f.newerText : f.olderText) = QString::fromStdString(json.string());
        } else if (name == "newerTime" || name == "olderTime") {
            std::int64_t v = 0;
            if (json.next() != Token::Number || !json.integer(v))
                return false;
            (name == "newerTime" ? f.newer : f.older) = v;
        } else if (!json.skipValue()) {
            return false;
        }
    }
}

} // namespace quillmap
