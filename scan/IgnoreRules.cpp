#include "scan/IgnoreRules.h"

#include "scan/Wildmatch.h"

namespace quillmap {

namespace {

// Leading bytes of `p` that hold no wildcard.
std::size_t literalLength(std::string_view p)
{
    std::size_t n = 0;
    while (n < p.size() && p[n] != '*' && p[n] != '?' && p[n] != '[' && p[n] != '\\')
        ++n;
    return n;
}

// A line without the blanks at its end, except those quoted with "\".
std::string_view trimBlanks(std::string_view line)
{
    std::size_t end = line.size(), blanks = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') {
            if (blanks == std::string_view::npos)
                blanks = i;
            continue;
        }
        if (line[i] == '\\' && ++i >= line.size())
            return line; // a "\" at the very end: nothing is trimmed
        blanks = std::string_view::npos;
    }
    if (blanks != std::string_view::npos)
        end = blanks;
    return line.substr(0, end);
}

// The line as a pattern: empty for a comment or a blank line.
std::string_view patternOfLine(std::string_view line)
{
    line = line.substr(0, line.find('\0')); // git reads each line as a C string
    if (line.empty() || line[0] == '#')
        return {};
    if (line.back() == '\r')
        line.remove_suffix(1);
    return trimBlanks(line);
}

} // namespace

IgnoreRules::IgnoreRules(std::string_view text, std::string base) : m_base(std::move(base))
{
    add(text);
}

void IgnoreRules::add(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view p = patternOfLine(line);
        Pattern pattern;
        if (!p.empty() && p[0] == '!') {
            pattern.negated = true;
            p.remove_prefix(1);
        }
        if (!p.empty() && p.back() == '/') {
            pattern.folderOnly = true;
            p.remove_suffix(1);
        }
        if (p.empty())
            continue; // can match no name
        pattern.byName = p.find('/') == std::string_view::npos;
        pattern.literal = literalLength(p);
        pattern.text = p;
        m_paths = m_paths || !pattern.byName;
        m_patterns.push_back(std::move(pattern));
    }
}

bool IgnoreRules::matchesPath(const Pattern& p, std::string_view path) const
{
    std::string_view pattern = p.text;
    std::size_t literal = p.literal;
    if (pattern[0] == '/') {
        pattern.remove_prefix(1);
        --literal;
    }
    // The path must lie below the source's folder; the pattern matches what follows it.
    const std::size_t baseLength = m_base.size();
    if (path.size() < baseLength + 1 || (baseLength && path[baseLength] != '/') ||
        path.compare(0, baseLength, m_base) != 0)
        return false;
    std::string_view rest = path.substr(baseLength ? baseLength + 1 : 0);
    if (literal > 0) {
        if (literal > rest.size() || rest.compare(0, literal, pattern.substr(0, literal)) != 0)
            return false;
        pattern.remove_prefix(literal);
        rest.remove_prefix(literal);
        if (pattern.empty() && rest.empty())
            return true;
    }
    // What follows the literal start is matched as a pattern of its own, as git does.
    return Wildmatch(pattern, rest, true);
}

std::optional<bool> IgnoreRules::decide(std::string_view path, std::size_t nameAt,
                                        bool folder) const
{
    const std::string_view name = path.substr(nameAt);
    for (auto it = m_patterns.rbegin(); it != m_patterns.rend(); ++it) {
        const Pattern& p = *it;
        if (p.folderOnly && !folder)
            continue;
        const bool matched =
            p.byName
                ? (p.literal == p.text.size() ? name == p.text : Wildmatch(p.text, name, false))
                : matchesPath(p, path);
        if (matched)
            return !p.negated;
    }
    return std::nullopt;
}

IgnoreRules::Problem IgnoreRules::check(std::string_view line)
{
    if (line.find_first_of(std::string_view("\n\0", 2)) != std::string_view::npos)
        return Problem::LineBreak;
    if (!line.empty() && line.back() == '\r')
        return Problem::LineBreak;
    std::string_view p = patternOfLine(line);
    if (!p.empty() && p[0] == '!')
        p.remove_prefix(1);
    if (p.empty() || p == "/")
        return Problem::Empty;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '\\') {
            if (++i >= p.size())
                return Problem::TrailingBackslash;
            continue;
        }
        if (p[i] != '[')
            continue;
        // A set: its first member may be "]"; "\" quotes; "[:name:]" must name a class.
        std::size_t j = i + 1;
        if (j < p.size() && (p[j] == '!' || p[j] == '^'))
            ++j;
        bool first = true;
        for (;; first = false, ++j) {
            if (j >= p.size())
                return Problem::UnclosedSet;
            if (p[j] == ']' && !first)
                break;
            if (p[j] == '\\') {
                ++j;
                continue;
            }
            if (p[j] == '[' && j + 1 < p.size() && p[j + 1] == ':') {
                const std::size_t end = p.find(']', j + 2);
                if (end == std::string_view::npos)
                    return Problem::UnclosedSet;
                if (end > j + 2 && p[end - 1] == ':') {
                    static constexpr std::string_view kClasses[] = {
                        "alnum", "alpha", "blank", "cntrl", "digit", "graph",
                        "lower", "print", "punct", "space", "upper", "xdigit"};
                    const std::string_view name = p.substr(j + 2, end - j - 3);
                    bool known = false;
                    for (std::string_view c : kClasses)
                        known = known || c == name;
                    if (!known)
                        return Problem::UnclosedSet;
                    j = end;
                }
            }
        }
        i = j;
    }
    return Problem::None;
}

} // namespace quillmap
