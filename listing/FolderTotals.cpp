#include "listing/FolderTotals.h"

namespace quillmap {

FolderTotals::FolderTotals(const NodeStore& tree)
    : m_tree(tree), m_isFolder((tree.size() + 63) / 64, 0), m_rank(m_isFolder.size(), 0)
{
    const auto count = NodeStore::Id(tree.size());
    std::uint32_t folders = 0;
    for (NodeStore::Id id = 0; id < count; ++id) {
        if ((id & 63) == 0)
            m_rank[id >> 6] = folders;
        if (tree.isFolder(id)) {
            m_isFolder[id >> 6] |= std::uint64_t(1) << (id & 63);
            ++folders;
        }
    }
    m_size.assign(folders, 0);
    m_files.assign(folders, 0);
    m_folders.assign(folders, 0);
    for (NodeStore::Id id = count; id-- > 0;) {
        const NodeStore::Id parent = tree.parent(id);
        if (parent == NodeStore::npos)
            continue;
        const std::size_t p = folderIndex(parent);
        if (p == kNone)
            continue; // not a tree of folders (a file is never a parent in a listing)
        const std::size_t k = folderIndex(id);
        const std::uint64_t size = k != kNone ? m_size[k] : fileSize(id);
        // Sizes from a listing file may be anything: a total past the largest stays there.
        if (__builtin_add_overflow(m_size[p], size, &m_size[p]))
            m_size[p] = UINT64_MAX;
        if (k != kNone) {
            m_files[p] += m_files[k];
            m_folders[p] += m_folders[k] + 1;
        } else {
            ++m_files[p];
        }
    }
}

std::uint64_t FolderTotals::fileSize(NodeStore::Id id) const
{
    const auto details = m_tree.details(id);
    return details ? details->size.value_or(0) : 0;
}

} // namespace quillmap
