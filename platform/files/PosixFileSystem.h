#pragma once

#include "scan/FileSystem.h"

#include <memory>
#include <string>
#include <vector>

namespace quillmap {

// The real file system: getdents64 into one reused buffer, statx relative to the folder's
// descriptor, and the DOS archive bit from extended attributes on file systems that keep them.
class PosixFileSystem : public FileSystem
{
public:
    PosixFileSystem();
    ~PosixFileSystem() override;

    int openFolder(const std::string& path, Handle& folder) override;
    int openSubfolder(Handle parent, const char* name, Handle& folder) override;
    void closeFolder(Handle folder) override;
    int readFolder(Handle folder, FolderListing& out) override;
    int stat(Handle folder, const char* name, bool follow, FileStat& out) override;
    int identify(Handle folder, FolderIdentity& out) override;
    int readFile(Handle folder, const char* name, std::string& out, std::size_t limit) override;

    // Reading ahead: a plain mount is one whose kind of file system keeps no DOS attributes
    // (or whose first folder showed that the mount keeps none), with openat2 at hand; files are
    // read alike by every instance where the folder carries no DOS attributes (which each instance
    // would have to look up). A subclass (a test's, which injects failures) is read on one thread,
    // in the walk's order, unless it says otherwise.
    std::unique_ptr<FileSystem> newReader() const override;
    bool readsAlike(Handle folder) const override { return dosState(folder) != kDos; }
    bool onPlainMount(Handle folder) const override
    {
        return m_openat2 && dosState(folder) == kNoDosKind;
    }
    int openPlainSubfolder(Handle parent, const char* name, Handle& folder) override;
    void adoptPlainSubfolder(Handle folder) override { record(folder, kNoDosKind); }
    // Network and FUSE mounts: many reads under way (kRemoteReads), as each waits for a server.
    std::size_t concurrentReads(Handle folder) const override;

    static constexpr std::size_t kRemoteReads = 16;

private:
    // What an open folder tells of DOS attributes.
    enum : unsigned char
    {
        kNoDosKind = 0, // a kind of file system, or a mount, that keeps none
        kDos = 1,       // its files carry them
        kNoDos = 2,     // a kind that may keep them, but this folder has none
    };

    unsigned char dosState(Handle folder) const
    {
        return folder >= 0 && static_cast<std::size_t>(folder) < m_dosFolder.size()
                   ? m_dosFolder[folder]
                   : static_cast<unsigned char>(kNoDosKind);
    }
    int adopt(int fd, Handle& folder);
    void record(int fd, unsigned char state);
    unsigned char readDosState(int fd) const;

    std::string m_buffer;                   // getdents64 buffer, reused
    std::vector<unsigned char> m_dosFolder; // by descriptor
    bool m_openat2 = true;                  // false once the system has said it has no openat2
};

} // namespace quillmap
