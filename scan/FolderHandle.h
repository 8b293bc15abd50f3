#pragma once

#include "scan/FileSystem.h"

#include <utility>

namespace quillmap {

// One open folder of a FileSystem, closed when the owner lets go of it on any path, an
// exception included. Movable, not copyable.
class FolderHandle
{
public:
    FolderHandle() = default;
    FolderHandle(FileSystem& fs, FileSystem::Handle handle) : m_fs(&fs), m_handle(handle) {}
    ~FolderHandle() { reset(); }

    FolderHandle(FolderHandle&& other) noexcept
        : m_fs(other.m_fs), m_handle(std::exchange(other.m_handle, kNone))
    {
    }
    FolderHandle& operator=(FolderHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fs = other.m_fs;
            m_handle = std::exchange(other.m_handle, kNone);
        }
        return *this;
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    bool isOpen() const { return m_handle != kNone; }
    FileSystem::Handle get() const { return m_handle; }

    // Lets go of the folder without closing it; its new owner closes it.
    FileSystem::Handle release() { return std::exchange(m_handle, kNone); }

    void reset()
    {
        if (m_handle != kNone)
            m_fs->closeFolder(std::exchange(m_handle, kNone));
    }

    // Opens the folder at `path`; 0 or an errno value.
    static int open(FileSystem& fs, const std::string& path, FolderHandle& out)
    {
        FileSystem::Handle handle = kNone;
        const int error = fs.openFolder(path, handle);
        out = error == 0 ? FolderHandle(fs, handle) : FolderHandle();
        return error;
    }
    // Opens the subfolder `name` of `parent` (not through a link); 0 or an errno value.
    static int openSub(FileSystem& fs, FileSystem::Handle parent, const char* name,
                       FolderHandle& out)
    {
        FileSystem::Handle handle = kNone;
        const int error = fs.openSubfolder(parent, name, handle);
        out = error == 0 ? FolderHandle(fs, handle) : FolderHandle();
        return error;
    }

private:
    static constexpr FileSystem::Handle kNone = -1;

    FileSystem* m_fs = nullptr;
    FileSystem::Handle m_handle = kNone;
};

} // namespace quillmap
