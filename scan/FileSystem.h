#pragma once

#include "scan/FolderListing.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillmap {

// What one property read of an entry gives (a statx, or what a test injects).
struct FileStat
{
    std::uint32_t mode = 0; // file type and permission bits as in st_mode
    std::uint64_t size = 0;
    std::int64_t accessed = 0; // seconds since the epoch, fractions dropped
    std::int64_t modified = 0;
    std::int64_t born = 0;
    bool hasBirth = false;   // the file system records a creation time
    bool compressed = false; // the file system stores the file compressed
    bool archive = false;    // DOS archive bit, where the file system keeps DOS attributes
};

// Which folder an open handle is, to tell whether a folder opened again by name is still the
// one first opened.
struct FolderIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// The folder enumeration and file properties of the platform, behind an interface so tests can
// inject unreadable folders, vanishing files and folders that change during a scan.
//
// Contract: folders are addressed by handles that openFolder()/openSubfolder() give and
// closeFolder() ends; entries by a folder handle and a NUL-terminated name (raw bytes). Every
// call returns 0 or an errno value and never throws. One instance serves one thread.
class FileSystem
{
public:
    using Handle = int;

    virtual ~FileSystem() = default;

    virtual int openFolder(const std::string& path, Handle& folder) = 0;
    // Opens the subfolder `name` of `parent` without following a link.
    virtual int openSubfolder(Handle parent, const char* name, Handle& folder) = 0;
    virtual void closeFolder(Handle folder) = 0;
    // Appends the folder's entries to `out` in the file system's order, leaving out special
    // files the enumeration can already tell apart (`out` itself leaves out ".", ".." and, unless
    // it keeps them, hidden entries). On an error part-way, what was read stays in `out`.
    virtual int readFolder(Handle folder, FolderListing& out) = 0;
    // The properties of `name` in `folder`; `follow` reads a link's target instead of the link.
    virtual int stat(Handle folder, const char* name, bool follow, FileStat& out) = 0;
    virtual int identify(Handle folder, FolderIdentity& out) = 0;
    // The content of the regular file `name` in `folder` (a .gitignore), read without following
    // a link; EFBIG when it holds more than `limit` bytes. A file system that reads no files
    // (the default) has none: ENOENT.
    virtual int readFile(Handle, const char*, std::string&, std::size_t) { return ENOENT; }

    // Reading ahead of the walk on other threads (ReadAhead). newReader() gives another
    // instance for another thread, or null where the scan must read on one thread only (the
    // default). readsAlike(folder): any instance reads the files of the open `folder` as this
    // one does. onPlainMount(folder): besides, its subfolders on the same mount can be opened
    // by any instance with openPlainSubfolder(), exactly as openSubfolder() here would open
    // them; any failure (another mount among them) gives an errno and leaves the open to
    // openSubfolder(). The instance that goes on with such a folder takes it over with
    // adoptPlainSubfolder(); a handle from openPlainSubfolder() may be closed by any instance.
    virtual std::unique_ptr<FileSystem> newReader() const { return nullptr; }
    virtual bool readsAlike(Handle) const { return false; }
    virtual bool onPlainMount(Handle) const { return false; }
    virtual int openPlainSubfolder(Handle, const char*, Handle&) { return ENOTSUP; }
    virtual void adoptPlainSubfolder(Handle) {}
    // How many reads of the folder's mount are worth having under way at once: 0 for one on
    // each core (a local disk, where reads compute); more where each read waits for a server
    // (a network or FUSE mount), which answers many requests in flight sooner than one by one.
    virtual std::size_t concurrentReads(Handle) const { return 0; }

    // The enumeration the walk uses: the whole folder, sorted by name (FolderListing order).
    int list(Handle folder, FolderListing& out)
    {
        out.clear();
        const int error = readFolder(folder, out);
        out.sortByName();
        return error;
    }
};

} // namespace quillmap
