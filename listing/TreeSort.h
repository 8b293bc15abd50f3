#pragma once

#include <string_view>

namespace quillmap {

class NodeStore;

// The orders a tree is listed in: the window's column headers and quillmap_list --sort.
enum class SortKey
{
    Name,    // the described order: folders first, then files, each by name
    Size,    // a file's size, a folder's total size
    Created, // a file's dates; folders by name
    Accessed,
    Modified,
    Attributes, // a file's attribute value; folders by name
    Type,       // a file's type (the name after its first dot); folders by name
    Files,      // a folder's number of files at any depth; files by name
    Folders,    // a folder's number of folders at any depth; files by name
};

struct SortOrder
{
    SortKey key = SortKey::Name;
    bool reverse = false; // the key's order reversed; folders still come first
    bool operator==(const SortOrder&) const = default;
};

// Puts the children of every folder of `tree` in `order`: folders first, then files, each group
// by the key, what has no value for it last, ties by name (NameLess()). Sorting by Name gives
// the order a search lists. Ids, keys and texts stay as they are.
void SortTree(NodeStore& tree, SortOrder order);

// A file's type as the Type order and column take it: the name after its first dot ("tar.gz"
// for "a.tar.gz"); empty without a dot.
std::string_view FileTypeOf(std::string_view name);

} // namespace quillmap
