#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

// The patterns of one .gitignore-style source (a .gitignore, .ignore or info/exclude file, or
// the patterns a user gave), read and matched as git reads and matches them:
//   - one pattern a line; blank lines and lines starting with "#" are skipped, a CR before the
//     line's end and trailing blanks are dropped unless quoted with "\";
//   - "!" first negates the pattern; "/" last makes it match folders only;
//   - a pattern without any other "/" matches a name at any depth below the source's folder,
//     one with a "/" (a leading one included) the path below that folder (Wildmatch(), "**"
//     for any number of folders);
//   - the last pattern that matches decides.
// Paths are relative to one top folder and have no "/" at either end; the source's folder
// (`base`) is one of them, or empty for the top folder itself.
class IgnoreRules
{
public:
    IgnoreRules() = default;
    IgnoreRules(std::string_view text, std::string base);

    // Adds the patterns of `text` (a whole file, or one pattern a line).
    void add(std::string_view text);

    bool isEmpty() const { return m_patterns.empty(); }
    // Whether any pattern needs the path, not just the name.
    bool matchesPaths() const { return m_paths; }

    // true: `path` (whose last part starts at `nameAt`) is excluded; false: a negated pattern
    // lets it in again; nothing: no pattern matches it.
    std::optional<bool> decide(std::string_view path, std::size_t nameAt, bool folder) const;

    // Why a pattern a user typed can't be used: it is empty, only "!" or a comment, a "[" is
    // not closed or names an unknown class, it ends with a lone "\", or it holds a line
    // break. git would take most of them and never match; a user is told instead.
    enum class Problem
    {
        None,
        Empty,
        UnclosedSet,
        TrailingBackslash,
        LineBreak,
    };
    static Problem check(std::string_view pattern);

private:
    struct Pattern
    {
        std::string text;    // without the "!" and the "/" at the end
        std::size_t literal; // leading bytes without a wildcard
        bool negated = false;
        bool folderOnly = false;
        bool byName = false; // no "/" in it: matched against the name alone
    };

    bool matchesPath(const Pattern& p, std::string_view path) const;

    std::vector<Pattern> m_patterns;
    std::string m_base;
    bool m_paths = false;
};

} // namespace quillmap
