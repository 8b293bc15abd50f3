#pragma once

#include "listing/NodeChange.h"
#include "tree/NodeStore.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillmap {

// Compares a tree with a saved listing of it, by path below the root: every folder and file
// is added, removed, changed or the same. A file is changed when its size or last-modified
// date differs; a folder when anything below it differs. The result is one tree holding both,
// each removed node at its old place (after the siblings it followed in the listing).
class TreeComparison
{
public:
    struct Options
    {
        bool onlyChanges = false;    // keep only what differs, with the folders that lead to it
        bool markTexts = false;      // begin every text with its change's symbol and a space
        bool withoutRemoved = false; // leave out what was removed: the tree compared, as it was
    };

    struct Summary
    {
        // Files and folders (the root not counted) by change, indexed by NodeChange.
        std::array<std::uint64_t, 4> files{};
        std::array<std::uint64_t, 4> folders{};
        // Sizes of the added files plus what changed files grew by, and of the removed files
        // plus what changed files shrank by: the new total is the old one + added - removed.
        std::uint64_t bytesAdded = 0;
        std::uint64_t bytesRemoved = 0;

        bool anyChange() const;
    };

    // Builds into `merged` (cleared first) the comparison of `current` with `saved`; the change
    // of merged node `id` is changes()[id].
    void compare(const NodeStore& saved, const NodeStore& current, NodeStore& merged,
                 Options options);
    void compare(const NodeStore& saved, const NodeStore& current, NodeStore& merged)
    {
        compare(saved, current, merged, Options{});
    }

    // The same without a third tree: each removed node is added to `current` at its old place
    // (its row among its siblings), and the change of node `id` of `current` is changes()[id].
    // For comparing big listings, whose memory is then little more than holding both.
    void compareInPlace(const NodeStore& saved, NodeStore& current);
    // Copies the result of a comparison (`from`, the change of whose node `id` is
    // `changes[id]`) into `to` (cleared first) as `options` ask; returns the changes of the
    // nodes of `to`.
    static std::vector<NodeChange> copy(const NodeStore& from,
                                        const std::vector<NodeChange>& changes, NodeStore& to,
                                        Options options);

    const std::vector<NodeChange>& changes() const { return m_changes; }
    const Summary& summary() const { return m_summary; }

    // The mark a tree view or a printout shows in front of a node: "+", "-", "~" or "=".
    static std::string_view symbol(NodeChange change);

private:
    // Records the change of result node `id`: current node c, saved node s (npos where absent).
    void note(NodeStore::Id id, NodeStore::Id c, NodeStore::Id s, const NodeStore& saved,
              const NodeStore& current, bool isFolder);
    // Marks the folders above every change and counts the summary.
    void finish(const NodeStore& result);

    std::vector<NodeChange> m_changes;
    std::vector<bool> m_folder; // by result node, while comparing
    Summary m_summary;
};

} // namespace quillmap
