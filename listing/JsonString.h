#pragma once

#include <string>
#include <string_view>

namespace quillmap {

// Appends `bytes` as a JSON string literal: quotes and backslashes escaped, control characters
// as \u00XX; with `forScript` also '<', '>' and '&', so that the literal can stand inside an
// HTML <script> element. The bytes are copied as they are (the caller makes them valid UTF-8
// where the reader needs that).
void AppendJsonString(std::string& out, std::string_view bytes, bool forScript = false);

} // namespace quillmap
