#include "platform/FolderListing.h"

#include <algorithm>
#include <cstring>

namespace quillmap {

namespace {

inline unsigned char upper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

} // namespace

void FolderListing::clear()
{
    m_names.clear();
    m_entries.clear();
}

void FolderListing::append(std::string_view name, Kind kind)
{
    const auto offset = static_cast<std::uint32_t>(m_names.size());
    m_names.insert(m_names.end(), name.begin(), name.end());
    m_names.push_back('\0');
    m_entries.push_back(Entry{offset, static_cast<std::uint32_t>(name.size()), kind});
}

bool FolderListing::nameLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = upper(static_cast<unsigned char>(a[i]));
        const unsigned char y = upper(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b; // same letters apart from case: the raw bytes decide
}

void FolderListing::sortByName()
{
    const char* base = m_names.data();
    std::sort(m_entries.begin(), m_entries.end(), [base](const Entry& a, const Entry& b) {
        return nameLess({base + a.offset, a.length}, {base + b.offset, b.length});
    });
}

} // namespace quillmap
