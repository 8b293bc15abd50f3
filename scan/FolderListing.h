#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

// One snapshot of a folder: the names the enumeration returned, each with what the listing
// already knows of its kind. The walk reads a folder once into a listing and works on it, so
// changes to the folder during the scan can't repeat or skip an entry.
//
// Contract: append() the entries, then sortByName() once; only then are size() and the entry
// accessors valid. Names are raw bytes of at most 65,532 bytes (a longer one is not kept),
// stored NUL-terminated so they go straight to the *at() system calls; cName(i) stays valid
// until the next clear(). clear() keeps the memory, so one listing reused per depth allocates
// nothing once warm. Names live in fixed blocks that never move, and the index over them is
// allocated once at its exact size, so even a folder of many entries costs no copy and no
// doubled peak of memory while it is read.
class FolderListing
{
public:
    enum class Kind : std::uint8_t
    {
        Unknown,    // the enumeration did not say; ask the file properties
        Folder,     // a real folder
        File,       // a regular file
        Link,       // a symbolic link, target not yet known
        Special,    // FIFO, socket, device: never listed
        FolderLink, // a link whose target is a folder: listed, never opened
        Gone,       // vanished or unreadable while classifying: left out
        Excluded,   // left out by the search's filters: never read or opened
    };

    void clear();
    // Appends an entry; "." and ".." are left out, and so are the other names starting with "."
    // (hidden entries) unless the listing keeps them.
    void append(std::string_view name, Kind kind);
    void setKeepHidden(bool keep) { m_keepHidden = keep; }
    // Orders the entries by name (NameLess()).
    void sortByName();

    std::size_t size() const { return m_index.size(); }
    std::string_view name(std::size_t i) const { return {cName(i), length(m_index[i])}; }
    const char* cName(std::size_t i) const { return at(m_index[i]) + kHeader; }
    Kind kind(std::size_t i) const { return static_cast<Kind>(*at(m_index[i])); }
    void setKind(std::size_t i, Kind kind) { *at(m_index[i]) = static_cast<char>(kind); }

private:
    // Each entry in a block: kind (1 byte), name length (2 bytes), the name, a NUL.
    static constexpr std::size_t kHeader = 3;
    static constexpr unsigned kBlockBits = 16;
    static constexpr std::size_t kBlockSize = std::size_t(1) << kBlockBits;
    static constexpr std::size_t kFirstBlockSize = 256;
    static constexpr std::size_t kMaxName = kBlockSize - kHeader - 1;

    char* at(std::uint32_t offset) const
    {
        return m_blocks[offset >> kBlockBits].get() + (offset & (kBlockSize - 1));
    }
    std::size_t length(std::uint32_t offset) const
    {
        std::uint16_t n;
        std::memcpy(&n, at(offset) + 1, sizeof n);
        return n;
    }

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_firstBlockSize = 0;     // block 0 grows up to kBlockSize
    std::size_t m_block = 0;              // the block being filled
    std::size_t m_used = 0;               // bytes used in it
    std::vector<std::size_t> m_blockUsed; // bytes used in each earlier block
    std::size_t m_count = 0;              // entries appended
    std::vector<std::uint32_t> m_index;   // block << kBlockBits | position, built by sortByName()
    bool m_keepHidden = false;
};

} // namespace quillmap
