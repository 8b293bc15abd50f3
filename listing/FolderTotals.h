#pragma once

#include "tree/NodeStore.h"

#include <cstdint>
#include <vector>

namespace quillmap {

// Each folder's totals over what the search listed below it: the bytes of its files, the number
// of files and of folders, at any depth. Worked out in one pass when an export needs them (a
// child's id is always above its parent's), and dropped with it.
class FolderTotals
{
public:
    explicit FolderTotals(const NodeStore& tree);

    std::uint64_t size(NodeStore::Id id) const { return m_size[id]; }
    std::uint64_t files(NodeStore::Id id) const { return m_files[id]; }
    std::uint64_t folders(NodeStore::Id id) const { return m_folders[id]; }

private:
    std::vector<std::uint64_t> m_size;
    std::vector<std::uint32_t> m_files;
    std::vector<std::uint32_t> m_folders;
};

} // namespace quillmap
