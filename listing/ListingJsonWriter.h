#pragma once

#include "listing/NodeChange.h"
#include "tree/NodeStore.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

class FolderTotals;
struct SearchRecord;

// Writes a listing as JSON: what was searched and the tree found, which ListingJsonReader
// reads back into the very same nodes.
//
// Format (version 1), one object:
//   "format": "quillmap-listing", "version": 1,
//   "folder": the root's key, "options": {"levels", "types", "details": [ticked item names],
//   and for a search that was filtered "filters" (FiltersJson.h)},
//   "searched": ISO 8601 UTC date, "dirs", "files": the counts,
//   "unread": ["path: reason", ...] the entries that could not be read,
//   "tree": the root node.
// A node: "key", "text", "kind" ("root", "folder", "file"); a file whose properties were read
// adds "size" (bytes), "created", "accessed", "modified" (seconds since 1970-01-01 UTC, each
// only when known), "attributes" (names of the set ones), "type" (the name after its first dot,
// when there is one); a comparison adds "change"; the root and folders end with "children".
// A string that is not valid UTF-8 shows each invalid byte as U+FFFD and keeps its exact bytes
// as hex digits in a field of the same name plus "_bytes" ("key_bytes", "text_bytes",
// "folder_bytes"), so different names never read as the same.
class ListingJsonWriter
{
public:
    ListingJsonWriter(const NodeStore& store, const SearchRecord& record, std::FILE* out)
        : m_store(store), m_record(record), m_out(out)
    {
    }

    // Marks each node (by id) with its change; written as "change" (empty: none written).
    void setChanges(const std::vector<NodeChange>* changes) { m_changes = changes; }

    // Gives the root and each folder "totalSize" (bytes), "files" and "folders" over all it
    // holds.
    void setTotals(const FolderTotals* totals) { m_totals = totals; }

    // Writes the whole listing; false when the stream reports an error.
    bool write();

    // A JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
    static void appendString(std::string& out, std::string_view bytes);
    // The command-line and JSON name of options-list item `item` (1 to 12), e.g. "date-created".
    static std::string detailName(int item);

    static constexpr int kVersion = 1;
    static constexpr std::string_view kFormat = "quillmap-listing";

private:
    void flush(bool force = false);
    // "name": the string, and "name_bytes" when it is not UTF-8 (no leading comma).
    void appendField(std::string_view name, std::string_view bytes);
    bool appendNode(NodeStore::Id id, const std::string& key);
    // appendString(), telling whether `bytes` were valid UTF-8.
    static bool appendStringValid(std::string& out, std::string_view bytes);

    const NodeStore& m_store;
    const SearchRecord& m_record;
    std::FILE* m_out;
    const std::vector<NodeChange>* m_changes = nullptr;
    const FolderTotals* m_totals = nullptr;
    std::string m_buffer;
};

} // namespace quillmap
