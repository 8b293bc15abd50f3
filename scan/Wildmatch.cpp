#include "scan/Wildmatch.h"

#include <cstddef>

namespace quillmap {

namespace {

// How a match attempt ended. Besides yes and no, two answers let the callers stop trying
// further positions that can't succeed either: the text ran out (no later start of a "*" can
// match), or a single "*" met a "/" (only an enclosing "**" may go on past it).
enum class Outcome
{
    Match,
    NoMatch,
    TextEnded,
    SlashMet,
};

bool isWildcard(unsigned char c)
{
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

// The POSIX classes, for ASCII only, as git's own character table has them.
bool inClass(std::string_view name, unsigned char c, bool& known)
{
    known = true;
    const bool upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z';
    const bool digit = c >= '0' && c <= '9';
    if (name == "alnum")
        return upper || lower || digit;
    if (name == "alpha")
        return upper || lower;
    if (name == "blank")
        return c == ' ' || c == '\t';
    if (name == "cntrl")
        return c < 0x20 || c == 0x7F;
    if (name == "digit")
        return digit;
    if (name == "graph")
        return c > 0x20 && c < 0x7F;
    if (name == "lower")
        return lower;
    if (name == "print")
        return c >= 0x20 && c < 0x7F;
    if (name == "punct")
        return c > 0x20 && c < 0x7F && !upper && !lower && !digit;
    if (name == "space")
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (name == "upper")
        return upper;
    if (name == "xdigit")
        return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    known = false;
    return false;
}

class Matcher
{
public:
    Matcher(std::string_view pattern, std::string_view text, bool pathname)
        : m_p(pattern.substr(0, pattern.find('\0'))), m_t(text.substr(0, text.find('\0'))),
          m_pathname(pathname)
    {
    }

    // Matches the pattern from `pi` against the text from `ti`. `pi` counts as the pattern's
    // start, as far as a "**" right after it is concerned.
    Outcome match(std::size_t pi, std::size_t ti) const;

private:
    unsigned char p(std::size_t i) const { return i < m_p.size() ? m_p[i] : 0; }
    unsigned char t(std::size_t i) const { return i < m_t.size() ? m_t[i] : 0; }
    bool slashFrom(std::size_t ti) const
    {
        return ti < m_t.size() && m_t.find('/', ti) != std::string_view::npos;
    }
    Outcome star(std::size_t& pi, std::size_t& ti, std::size_t start, bool& goOn) const;
    Outcome set(std::size_t& pi, unsigned char c) const;

    std::string_view m_p;
    std::string_view m_t;
    bool m_pathname;
};

// A "*" or "**" at `pi`. Either decides the match (goOn false), or leaves pi and ti where the
// plain matching goes on (a single "*" that took the text up to the next "/").
Outcome Matcher::star(std::size_t& pi, std::size_t& ti, std::size_t start, bool& goOn) const
{
    goOn = false;
    bool crossesSlash = !m_pathname;
    const std::size_t first = pi;
    while (p(pi) == '*')
        ++pi;
    if (pi - first >= 2 && m_pathname) {
        // "**" counts only as a whole folder part: at the start or after "/", and at the end
        // or before "/". Elsewhere it is a plain "*".
        const bool after = first == start || m_p[first - 1] == '/';
        const bool before = pi >= m_p.size() || p(pi) == '/' || (p(pi) == '\\' && p(pi + 1) == '/');
        if (after && before) {
            // "**/" may match no folder at all.
            if (p(pi) == '/' && match(pi + 1, ti) == Outcome::Match)
                return Outcome::Match;
            crossesSlash = true;
        }
    }
    if (pi >= m_p.size()) {
        // At the end: "**" takes the rest, "*" the rest of this folder part.
        return !crossesSlash && slashFrom(ti) ? Outcome::NoMatch : Outcome::Match;
    }
    if (!crossesSlash && p(pi) == '/') {
        // "*/" takes the rest of this folder part.
        const std::size_t slash = m_t.find('/', ti);
        if (slash == std::string_view::npos)
            return Outcome::NoMatch;
        ti = slash;
        goOn = true;
        return Outcome::NoMatch;
    }
    for (unsigned char c = t(ti); c != 0; c = t(++ti)) {
        // A literal after the star: skip to where it occurs (not past a "/" for a single "*").
        if (!isWildcard(p(pi))) {
            const unsigned char want = p(pi);
            while ((c = t(ti)) != 0 && (crossesSlash || c != '/') && c != want)
                ++ti;
            if (c != want)
                return Outcome::NoMatch;
        }
        const Outcome rest = match(pi, ti);
        if (rest != Outcome::NoMatch) {
            if (!crossesSlash || rest != Outcome::SlashMet)
                return rest;
        } else if (!crossesSlash && c == '/') {
            return Outcome::SlashMet;
        }
    }
    return Outcome::TextEnded;
}

// The set starting at `pi` (its "["), against the text byte `c`; leaves pi on its "]".
Outcome Matcher::set(std::size_t& pi, unsigned char c) const
{
    unsigned char s = p(++pi);
    if (s == '^')
        s = '!';
    const bool negated = s == '!';
    if (negated)
        s = p(++pi);
    unsigned char previous = 0;
    bool matched = false;
    // The first byte is a member even when it is "]".
    do {
        if (s == 0)
            return Outcome::TextEnded; // the pattern ends inside the set
        if (s == '\\') {
            s = p(++pi);
            if (s == 0)
                return Outcome::TextEnded;
            matched = matched || c == s;
        } else if (s == '-' && previous != 0 && p(pi + 1) != 0 && p(pi + 1) != ']') {
            s = p(++pi);
            if (s == '\\') {
                s = p(++pi);
                if (s == 0)
                    return Outcome::TextEnded;
            }
            matched = matched || (c >= previous && c <= s);
            s = 0; // a range is not the start of another
        } else if (s == '[' && p(pi + 1) == ':') {
            const std::size_t name = pi + 2;
            std::size_t end = name;
            while (p(end) != 0 && p(end) != ']')
                ++end;
            if (p(end) == 0)
                return Outcome::TextEnded;
            if (end == name || m_p[end - 1] != ':') {
                // No ":]": the "[" is a member like any other byte.
                matched = matched || c == '[';
                s = '[';
                continue;
            }
            bool known = false;
            const bool in = inClass(m_p.substr(name, end - 1 - name), c, known);
            if (!known)
                return Outcome::TextEnded;
            matched = matched || in;
            pi = end;
            s = 0;
        } else {
            matched = matched || c == s;
        }
    } while (previous = s, (s = p(++pi)) != ']');
    if (matched == negated || (m_pathname && c == '/'))
        return Outcome::NoMatch;
    return Outcome::Match;
}

Outcome Matcher::match(std::size_t pi, std::size_t ti) const
{
    const std::size_t start = pi;
    for (; pi < m_p.size(); ++pi, ++ti) {
        unsigned char pc = m_p[pi];
        const unsigned char tc = t(ti);
        if (tc == 0 && pc != '*')
            return Outcome::TextEnded;
        switch (pc) {
        case '\\':
            pc = p(++pi); // the quoted byte; a "\" at the end matches nothing
            [[fallthrough]];
        default:
            if (tc != pc)
                return Outcome::NoMatch;
            break;
        case '?':
            if (m_pathname && tc == '/')
                return Outcome::NoMatch;
            break;
        case '*': {
            bool goOn = false;
            const Outcome o = star(pi, ti, start, goOn);
            if (!goOn)
                return o;
            break;
        }
        case '[': {
            const Outcome o = set(pi, tc);
            if (o != Outcome::Match)
                return o;
            break;
        }
        }
    }
    return ti < m_t.size() ? Outcome::NoMatch : Outcome::Match;
}

} // namespace

bool Wildmatch(std::string_view pattern, std::string_view text, bool pathname)
{
    return Matcher(pattern, text, pathname).match(0, 0) == Outcome::Match;
}

} // namespace quillmap
