#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillmap {

class NodeStore;
struct SearchRecord;

// The listing in the JSON export format of ncdu (which ncdu -f and gdu -f read):
//   [1, 2, {metadata}, [{root info}, child, ...]]
// where a folder is an array of its info object and its children, a file an info object. Each
// info object has "name" (the root's its full path) and, for a file whose properties were
// read, "asize" and "dsize" (both the file's size: a search reads no disk usage) and "mtime";
// a folder that could not be listed, or a file whose properties could not be read, has
// "read_error". Names are written as their bytes, as ncdu writes them. The metadata names the
// program and the time of the search, and under "quillmap" the Levels and File Types, the
// filters (FiltersJson.h) and the entries that could not be read ("unread", with their paths in
// "unreadPaths" where known), for this program to read back.
class NcduWriter
{
public:
    NcduWriter(const NodeStore& tree, const SearchRecord& record) : m_tree(tree), m_record(record)
    {
    }

    // Returns false when writing to `out` failed.
    bool write(std::FILE* out);

    // A JSON string literal of `bytes` as they are: only quotes, backslashes and control
    // characters are escaped.
    static void appendString(std::string& out, std::string_view bytes);

    static constexpr std::string_view kProgram = "quillmap_list";

private:
    const NodeStore& m_tree;
    const SearchRecord& m_record;
};

} // namespace quillmap
