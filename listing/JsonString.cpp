#include "listing/JsonString.h"

namespace quillmap {

void AppendJsonString(std::string& out, std::string_view bytes, bool forScript)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c == 0x7F || (forScript && (c == '<' || c == '>' || c == '&'))) {
            out += "\\u00";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    out.push_back('"');
}

} // namespace quillmap
