#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillmap {

class NodeStore;
struct SearchRecord;

// The listing as one self-contained web page: the nodes are stored once, as JSON data in the
// page, and the page's own script draws the tree (collapsible, only the rows in view), works out
// the folder totals and filters by name. Nothing is loaded from anywhere else, and names only
// ever become text nodes, never markup.
class HtmlWriter
{
public:
    HtmlWriter(const NodeStore& tree, const SearchRecord& record) : m_tree(tree), m_record(record)
    {
    }

    // Returns false when writing to `out` failed.
    bool write(std::FILE* out);

    // A JSON string literal that is also safe inside a <script> element: "<", ">" and "&" as
    // \u escapes, bytes that are not UTF-8 as U+FFFD.
    static void appendScriptString(std::string& out, std::string_view bytes);

private:
    const NodeStore& m_tree;
    const SearchRecord& m_record;
};

} // namespace quillmap
