#include "support/Utf8Functions.h"

namespace quillmap::Utf8Functions {

std::size_t SequenceLength(std::string_view s, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0; // no overlong forms
        if (c == 0xED)
            hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        if (c == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + len > s.size() || b(i + 1) < lo || b(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < len; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    return len;
}

bool IsValid(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of ASCII are the common case.
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = SequenceLength(bytes, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

void AppendVisible(std::string& out, std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F) {
            // Printable ASCII, the common case: copy the whole run at once.
            std::size_t j = i + 1;
            while (j < s.size() && static_cast<unsigned char>(s[j]) >= 0x20 &&
                   static_cast<unsigned char>(s[j]) < 0x7F)
                ++j;
            out.append(s.data() + i, j - i);
            i = j;
            continue;
        }
        const std::size_t len = SequenceLength(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
            continue;
        }
        const auto c1 = len > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
        const auto c2 = len > 2 ? static_cast<unsigned char>(s[i + 2]) : 0;
        const bool control = len == 1 || (c == 0xC2 && c1 < 0xA0);
        // U+202A..U+202E are E2 80 AA..AE; U+2066..U+2069 are E2 81 A6..A9.
        const bool bidi = c == 0xE2 && ((c1 == 0x80 && c2 >= 0xAA && c2 <= 0xAE) ||
                                        (c1 == 0x81 && c2 >= 0xA6 && c2 <= 0xA9));
        if (control || bidi)
            out.push_back('?');
        else
            out.append(s.substr(i, len));
        i += len;
    }
}

} // namespace quillmap::Utf8Functions
