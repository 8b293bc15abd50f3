#pragma once

#include "listing/TreeSort.h"
#include "scan/DetailTicks.h"
#include "tree/NodeStore.h"

#include <QString>

#include <vector>

namespace quillmap {

class FolderTotals;

// The columns of the tree view, as the exported web page has them: what each shows of a node,
// read from the node's properties and never from its text, its heading, and the order a click
// on its heading sorts the tree in.
class NodeColumns
{
public:
    enum Column
    {
        Name,
        Size,
        Files,
        Folders,
        Created,
        Accessed,
        Modified,
        Attributes,
        Type,
    };
    static constexpr int kCount = 9;

    // The columns of a tree searched with `ticks`: Name, Size, Files and Folders always (a
    // folder's totals show in them), each date, the attributes and the type where ticked.
    static std::vector<Column> forTicks(DetailTicks ticks);
    // The heading, in the user's language.
    static QString heading(Column column);
    // The column's name in the settings file.
    static const char* key(Column column);
    static SortKey sortKey(Column column);
    static bool isNumber(Column column);

    // What `column` shows of node `id` (not for Name), and its tool tip: exact bytes in the
    // cell and the size people read in the tip; a folder's Size, Files and Folders are its
    // totals; the dates in the user's locale. Empty where the node has no such value.
    static QString text(const NodeStore& tree, const FolderTotals& totals, NodeStore::Id id,
                        Column column);
    static QString toolTip(const NodeStore& tree, const FolderTotals& totals, NodeStore::Id id,
                           Column column);
};

} // namespace quillmap
