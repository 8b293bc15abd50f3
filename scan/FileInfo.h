#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmap {

// The properties of one file that a file line can show. A plain value; every read fills a
// fresh one (or resets a reused one completely).
struct FileInfo
{
    // The attribute value's bits.
    enum : std::uint32_t
    {
        kReadOnly = 1, // owner write bit clear
        kHidden = 2,   // name starts with "."
        kSystem = 4,   // FIFO, socket or device
        kFolder = 16,
        kArchive = 32, // only where the file system keeps DOS attributes
        kCompressed = 128,
    };

    bool Compressed = false;
    bool Archive = false;
    bool System = false;
    bool Hidden = false;
    bool ReadOnly = false;
    bool Normal = false; // the attribute value is 0
    // Seconds since the epoch, whole seconds; no value where the file system keeps none.
    std::optional<std::int64_t> DateCreated;
    std::optional<std::int64_t> DateLastAccessed;
    std::optional<std::int64_t> DateLastModified;
    std::string FileType; // the name after its first dot, case unchanged
    std::string Size;     // length in bytes, plain decimal digits; empty when unknown

    // Sets the flags from an attribute value: each flag from its own bit, Normal when it is 0.
    void setAttributes(std::uint32_t attributes);
};

} // namespace quillmap
