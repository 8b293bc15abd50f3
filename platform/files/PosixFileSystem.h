#pragma once

#include "platform/files/FileSystem.h"

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

    // Whether the files of an open folder carry DOS attributes (read through this instance).
    bool keepsDosAttributes(Handle folder) const { return dosState(folder) == kDos; }

    // Opening subfolders on another thread, ahead of the walk. Where a folder is on a plain
    // mount (one whose kind of file system keeps no DOS attributes, with openat2 at hand), its
    // subfolders on the same mount can be opened by any instance, and another instance's
    // openSubfolder() would have opened them the same way. openPlainSubfolder() opens such a
    // subfolder, or gives the errno of any failure (another mount among them), leaving the
    // open to openSubfolder(); the instance that goes on with the folder takes it over with
    // adoptPlainSubfolder().
    bool onPlainMount(Handle folder) const { return m_openat2 && dosState(folder) == kNoDosKind; }
    int openPlainSubfolder(Handle parent, const char* name, Handle& folder);
    void adoptPlainSubfolder(Handle folder) { record(folder, kNoDosKind); }

private:
    // What an open folder tells of DOS attributes.
    enum : unsigned char
    {
        kNoDosKind = 0, // a kind of file system that keeps none
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
