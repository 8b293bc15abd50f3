#include "scan/FolderListing.h"

#include "support/NameOrder.h"

#include <algorithm>

namespace quillmap {

void FolderListing::clear()
{
    m_block = 0;
    m_used = 0;
    m_count = 0;
    m_index.clear();
}

void FolderListing::append(std::string_view name, Kind kind)
{
    const std::size_t bytes = kHeader + name.size() + 1;
    if (name.size() > kMaxName || name.empty())
        return;
    if (name[0] == '.' && (!m_keepHidden || name == "." || name == ".."))
        return;
    if (m_blocks.empty()) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kFirstBlockSize));
        m_blockUsed.push_back(0);
        m_firstBlockSize = kFirstBlockSize;
    }
    if (m_block == 0 && m_used + bytes > m_firstBlockSize && m_firstBlockSize < kBlockSize) {
        // The first block starts small, as a deep tree keeps one listing per level, and grows
        // to the full size; the positions in it stay the same.
        std::size_t size = m_firstBlockSize;
        while (size < kBlockSize && size < m_used + bytes)
            size *= 2;
        auto grown = std::make_unique_for_overwrite<char[]>(size);
        std::memcpy(grown.get(), m_blocks[0].get(), m_used);
        m_blocks[0] = std::move(grown);
        m_firstBlockSize = size;
    }
    if (m_used + bytes > (m_block == 0 ? m_firstBlockSize : kBlockSize)) {
        const std::size_t next = m_block + 1;
        if (next >= (std::size_t(1) << (32 - kBlockBits)))
            return; // 4 GiB of names in one folder: keep what fits
        if (next == m_blocks.size()) {
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
            m_blockUsed.push_back(0);
        }
        m_blockUsed[m_block] = m_used;
        m_block = next;
        m_used = 0;
    }
    char* p = m_blocks[m_block].get() + m_used;
    p[0] = static_cast<char>(kind);
    const auto n = static_cast<std::uint16_t>(name.size());
    std::memcpy(p + 1, &n, sizeof n);
    std::memcpy(p + kHeader, name.data(), name.size());
    p[kHeader + name.size()] = '\0';
    m_used += bytes;
    ++m_count;
}

void FolderListing::sortByName()
{
    // Index the blocks in the order the entries were appended, at the exact size.
    m_index.clear();
    m_index.reserve(m_count);
    for (std::size_t b = 0; b < m_blocks.size() && m_index.size() < m_count; ++b) {
        const std::size_t end = b == m_block ? m_used : m_blockUsed[b];
        for (std::size_t pos = 0; pos + kHeader <= end && m_index.size() < m_count;) {
            const auto offset = static_cast<std::uint32_t>(b << kBlockBits | pos);
            m_index.push_back(offset);
            pos += kHeader + length(offset) + 1;
        }
    }
    std::sort(m_index.begin(), m_index.end(), [this](std::uint32_t a, std::uint32_t b) {
        return NameLess({at(a) + kHeader, length(a)}, {at(b) + kHeader, length(b)});
    });
}

} // namespace quillmap
