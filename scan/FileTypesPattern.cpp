#include "scan/FileTypesPattern.h"

#include "support/Utf8Functions.h"

namespace quillmap {

namespace {

inline unsigned char fold(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Length of the character starting at s[i]: a whole valid UTF-8 sequence, else one byte.
std::size_t charLength(std::string_view s, std::size_t i)
{
    const std::size_t len = Utf8Functions::SequenceLength(s, i);
    return len == 0 ? 1 : len;
}

} // namespace

FileTypesPattern::FileTypesPattern(const QString& pattern)
    : m_pattern(pattern.toStdString()),
      m_all(pattern.isEmpty() || pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
{
}

bool FileTypesPattern::matches(std::string_view name) const
{
    if (m_all)
        return true;
    const std::string_view p = m_pattern;
    // Iterative glob with one back-track point for the last "*": linear in practice.
    std::size_t pi = 0, ni = 0, starP = std::string_view::npos, starN = 0;
    while (ni < name.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starN = ni;
            continue;
        }
        if (pi < p.size()) {
            if (p[pi] == '?') {
                ++pi;
                ni += charLength(name, ni);
                continue;
            }
            if (fold(static_cast<unsigned char>(p[pi])) ==
                fold(static_cast<unsigned char>(name[ni]))) {
                ++pi;
                ++ni;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        pi = starP;
        starN += charLength(name, starN);
        ni = starN;
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace quillmap
