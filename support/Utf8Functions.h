#pragma once

#include <cstddef>
#include <string_view>

namespace quillmap::Utf8Functions {

// Length of the valid UTF-8 sequence at bytes[i], or 0 when the byte there starts none
// (overlong forms, surrogates and values above U+10FFFF are not valid).
std::size_t SequenceLength(std::string_view bytes, std::size_t i);

// Whether all of `bytes` is valid UTF-8.
bool IsValid(std::string_view bytes);

} // namespace quillmap::Utf8Functions
