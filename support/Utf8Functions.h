#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmap::Utf8Functions {

// Length of the valid UTF-8 sequence at bytes[i], or 0 when the byte there starts none
// (overlong forms, surrogates and values above U+10FFFF are not valid).
std::size_t SequenceLength(std::string_view bytes, std::size_t i);

// Whether all of `bytes` is valid UTF-8.
bool IsValid(std::string_view bytes);

// Appends `bytes` as text that is safe on one line of a terminal: control characters (C0, DEL,
// C1) and the bidirectional embeddings, overrides and isolates (U+202A to U+202E, U+2066 to
// U+2069) become "?", bytes that are not UTF-8 become U+FFFD.
void AppendVisible(std::string& out, std::string_view bytes);

} // namespace quillmap::Utf8Functions
