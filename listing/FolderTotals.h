#pragma once

#include "tree/NodeStore.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmap {

// Each folder's totals over what the search listed below it: the bytes of its files, the number
// of files and of folders, at any depth. Worked out in one pass when an export or the window
// needs them (a child's id is always above its parent's), and dropped with it. Kept for folders
// only (a file's size is its own, read from `tree`, which must outlive this): a tree of a million
// entries has about a tenth as many folders, and the window keeps these while it shows the tree.
class FolderTotals
{
public:
    explicit FolderTotals(const NodeStore& tree);

    // A folder's total; a file's own size (0 where it was not read).
    std::uint64_t size(NodeStore::Id id) const
    {
        const std::size_t k = folderIndex(id);
        return k != kNone ? m_size[k] : fileSize(id);
    }
    std::uint64_t files(NodeStore::Id id) const
    {
        const std::size_t k = folderIndex(id);
        return k != kNone ? m_files[k] : 0;
    }
    std::uint64_t folders(NodeStore::Id id) const
    {
        const std::size_t k = folderIndex(id);
        return k != kNone ? m_folders[k] : 0;
    }

private:
    static constexpr std::size_t kNone = SIZE_MAX;

    // The folder's place in the totals (folders counted in id order), or kNone for a file.
    std::size_t folderIndex(NodeStore::Id id) const
    {
        const std::uint64_t word = m_isFolder[id >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (id & 63);
        return (word & bit) ? m_rank[id >> 6] + std::size_t(std::popcount(word & (bit - 1)))
                            : kNone;
    }
    std::uint64_t fileSize(NodeStore::Id id) const;

    const NodeStore& m_tree;
    std::vector<std::uint64_t> m_isFolder; // a bit a node
    std::vector<std::uint32_t> m_rank;     // folders before each word of m_isFolder
    std::vector<std::uint64_t> m_size;
    std::vector<std::uint32_t> m_files;
    std::vector<std::uint32_t> m_folders;
};

} // namespace quillmap
