#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace quillmap {

// The File Types pattern matched against a file name: "*" any run of characters, "?" exactly
// one character, anything else itself, ASCII letters without regard to case. "*.*" and an
// empty pattern match every name. Names are bytes; a "character" is one UTF-8 sequence, or one
// byte where the bytes are not UTF-8.
class FileTypesPattern
{
public:
    explicit FileTypesPattern(const QString& pattern);

    bool matchesAll() const { return m_all; }
    bool matches(std::string_view name) const;

private:
    std::string m_pattern; // UTF-8
    bool m_all = false;
};

} // namespace quillmap
