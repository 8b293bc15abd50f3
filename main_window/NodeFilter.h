#pragma once

#include "tree/NodeStore.h"

#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillmap {

// The find over a tree: which nodes a name search keeps (the matches and the folders that lead
// to them), and their rows among the siblings kept, for the item model.
//
// Contract: the tree is borrowed and must not change while the filter lives. Each apply() costs
// one pass over the names, read where the tree keeps them, plus the matches' ancestors; only the
// few names that are not ASCII are folded ahead, once. Rows are worked out for a folder when
// first asked for, so a view pays only for what it shows.
class NodeFilter
{
public:
    explicit NodeFilter(const NodeStore& tree);

    // Keeps the nodes whose name holds `text`, letter case aside, with every folder above
    // them; returns the number of matches.
    std::size_t apply(const QString& text);
    std::size_t matches() const { return m_matches; }

    bool isShown(NodeStore::Id id) const { return m_state[id] & kShown; }
    bool isMatch(NodeStore::Id id) const { return m_state[id] & kMatch; }
    // The kept children of `parent` (npos: the top-level nodes), and a kept node's row among
    // its kept siblings.
    std::uint32_t childCount(NodeStore::Id parent) const;
    NodeStore::Id child(NodeStore::Id parent, std::uint32_t row) const;
    std::uint32_t row(NodeStore::Id id) const;

    // Bytes held, for the memory figures.
    std::size_t memoryBytes() const;

private:
    static constexpr std::uint8_t kShown = 1;
    static constexpr std::uint8_t kMatch = 2;
    static constexpr std::uint8_t kHasShownChild = 4;

    void foldOtherNames();
    const std::vector<NodeStore::Id>& rowsOf(NodeStore::Id parent) const;

    const NodeStore& m_tree;
    // The names that are not ASCII, folded by Unicode's rules, by id in order; the ASCII ones
    // are compared as they are, letter case aside.
    std::vector<std::pair<NodeStore::Id, std::string>> m_otherNames;
    bool m_folded = false;
    std::vector<std::uint8_t> m_state;
    std::size_t m_matches = 0;
    mutable std::unordered_map<NodeStore::Id, std::vector<NodeStore::Id>> m_rows;
    mutable std::vector<std::uint32_t> m_rowOf;
};

} // namespace quillmap
