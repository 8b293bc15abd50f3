#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

// One snapshot of a folder: the names the enumeration returned, each with what the listing
// already knows of its kind. The walk reads a folder once into a listing and works on it, so
// changes to the folder during the scan can't repeat or skip an entry.
//
// Contract: names are raw bytes, stored NUL-terminated so they can go straight to the *at()
// system calls; cName(i) stays valid until the next clear() or append(). clear() keeps the
// capacity, so one listing reused per depth allocates nothing once warm.
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
    };

    void clear();
    void append(std::string_view name, Kind kind);
    // Orders the entries by name, comparing bytes with ASCII a-z folded to upper case, ties
    // by the raw bytes.
    void sortByName();

    std::size_t size() const { return m_entries.size(); }
    std::string_view name(std::size_t i) const
    {
        return {m_names.data() + m_entries[i].offset, m_entries[i].length};
    }
    const char* cName(std::size_t i) const { return m_names.data() + m_entries[i].offset; }
    Kind kind(std::size_t i) const { return m_entries[i].kind; }
    void setKind(std::size_t i, Kind kind) { m_entries[i].kind = kind; }

    // The order of sortByName(), for tests and callers that merge listings.
    static bool nameLess(std::string_view a, std::string_view b);

private:
    struct Entry
    {
        std::uint32_t offset;
        std::uint32_t length;
        Kind kind;
    };
    std::vector<char> m_names;
    std::vector<Entry> m_entries;
};

} // namespace quillmap
