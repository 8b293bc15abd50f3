#include "listing/FolderTotals.h"

namespace quillmap {

FolderTotals::FolderTotals(const NodeStore& tree)
    : m_size(tree.size(), 0), m_files(tree.size(), 0), m_folders(tree.size(), 0)
{
    for (NodeStore::Id id = NodeStore::Id(tree.size()); id-- > 0;) {
        const NodeStore::Id parent = tree.parent(id);
        if (!tree.isFolder(id))
            if (const auto d = tree.details(id))
                m_size[id] = d->size.value_or(0);
        if (parent == NodeStore::npos)
            continue;
        // Sizes from a listing file may be anything: a total past the largest stays there.
        if (__builtin_add_overflow(m_size[parent], m_size[id], &m_size[parent]))
            m_size[parent] = UINT64_MAX;
        m_files[parent] += m_files[id];
        m_folders[parent] += m_folders[id];
        if (tree.isFolder(id))
            ++m_folders[parent];
        else
            ++m_files[parent];
    }
}

} // namespace quillmap
