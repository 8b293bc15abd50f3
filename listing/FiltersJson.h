#pragma once

#include <string>
#include <string_view>

namespace quillmap {

class JsonPullParser;
struct ScanFilters;

// The filters of a search as a JSON object, in the saved listing, the web page's data and the
// ncdu export's metadata: {"exclude": [patterns], "hidden": true, "gitignore": true,
// "foldersOnly": true, "minSize": bytes, "maxSize": bytes, "newer": text, "newerTime": seconds,
// "older": text, "olderTime": seconds}, each member only when it is set.

// Appends the object; `string` writes one string literal (each format quotes its own way).
void AppendFiltersJson(std::string& out, const ScanFilters& filters,
                       void (*string)(std::string& out, std::string_view text));

// Reads the object that comes next from `json` into `filters` (members of later versions are
// skipped); false when it is not such an object.
bool ReadFiltersJson(JsonPullParser& json, ScanFilters& filters);

} // namespace quillmap
