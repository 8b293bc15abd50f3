#include "support/NameOrder.h"

#include <algorithm>

namespace quillmap {

namespace {

unsigned char upper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

} // namespace

bool NameLess(std::string_view a, std::string_view b)
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

} // namespace quillmap
