#pragma once

#include <string_view>

namespace quillmap {

// The order of names everywhere the program lists them (a folder's entries, the folder list, a
// comparison's merge): bytes compared with ASCII a-z folded to upper case, ties by the raw
// bytes, as an NTFS volume gives them.
bool NameLess(std::string_view a, std::string_view b);

} // namespace quillmap
