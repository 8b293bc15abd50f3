#pragma once

#include "tree/NodeStore.h"

#include <string_view>

namespace quillmap {

// Adds a node with its parent given by key, for tests that build trees by path: an empty parent
// key adds a top-level node. Returns npos when the parent key is unknown or the key exists.
inline NodeStore::Id AddByKey(NodeStore& store, std::string_view parentKey, std::string_view key,
                              std::string_view text)
{
    NodeStore::Id parent = NodeStore::npos;
    if (!parentKey.empty()) {
        parent = store.find(parentKey);
        if (parent == NodeStore::npos)
            return NodeStore::npos;
    }
    return store.add(parent, key, text);
}

} // namespace quillmap
