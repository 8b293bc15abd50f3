#pragma once

#include <string>
#include <string_view>

namespace quillmap {

// The bytes an output format copies as they are: printable ASCII less the ones it escapes.
// Writers copy each run of them at once and escape byte by byte only what is left.
class PlainBytes
{
public:
    constexpr explicit PlainBytes(std::string_view escaped)
    {
        for (int c = 0x20; c < 0x7F; ++c)
            m_plain[c] = escaped.find(char(c)) == std::string_view::npos;
    }

    // Appends the run of plain bytes that starts at s[i] to `out`; returns where it ends.
    std::size_t copyRun(std::string& out, std::string_view s, std::size_t i) const
    {
        std::size_t j = i;
        while (j < s.size() && m_plain[static_cast<unsigned char>(s[j])])
            ++j;
        out.append(s.data() + i, j - i);
        return j;
    }

private:
    bool m_plain[256] = {};
};

} // namespace quillmap
