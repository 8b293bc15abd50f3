#pragma once

#include "tree/NodeStore.h"

#include <vector>

namespace quillmap {

// Calls visit(id, level) for every node in tree order (a node, then its children), the top-level
// nodes at level 0. Siblings in a loop and an explicit stack, so deep trees are safe.
template <class Visit> void ForEachPreOrder(const NodeStore& tree, Visit&& visit)
{
    std::vector<NodeStore::Id> stack;
    for (NodeStore::Id top = tree.firstTopLevel(); top != NodeStore::npos;
         top = tree.nextSibling(top)) {
        NodeStore::Id id = top;
        while (id != NodeStore::npos) {
            visit(id, unsigned(stack.size()));
            if (tree.firstChild(id) != NodeStore::npos) {
                stack.push_back(id);
                id = tree.firstChild(id);
                continue;
            }
            while (id != NodeStore::npos && tree.nextSibling(id) == NodeStore::npos &&
                   !stack.empty()) {
                id = stack.back();
                stack.pop_back();
            }
            id = stack.empty() && id == top ? NodeStore::npos : tree.nextSibling(id);
        }
    }
}

} // namespace quillmap
