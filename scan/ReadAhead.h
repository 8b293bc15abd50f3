#pragma once

#include "scan/FileInfo.h"
#include "scan/FileSystem.h"
#include "scan/FolderListing.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillmap {

class EntryFilter;
class FileTypesPattern;

// Reads ahead of the walk on other threads, so that the system calls of a scan are made on
// every core while the walk itself builds the tree: the properties of a folder's files (in
// batches), and whole subfolders the walk will enter next (opened, listed, and the properties
// of their first files read). The walk takes every result in its own order, and does itself
// whatever no one has started yet: each file and folder is read exactly once, as the walk
// alone would read it, so the tree and its problems come out the same.
//
// Only for a file system that gives readers for other threads (FileSystem::newReader()), on
// folders that every reader reads alike: every thread reads through an instance of its own,
// and subfolders are read ahead only where opening them can't cross into another mount (which
// the walk's own open would have to look at).
class ReadAhead
{
public:
    // At most this many files in one batch, and subfolders in one group, so that a folder of a
    // million entries holds the results of a few thousand at a time: the walk starts the next
    // batch (group) of a folder as it takes the first result of the one before.
    static constexpr std::size_t kMaxBatchFiles = 1024;
    static constexpr std::size_t kMaxGroupFolders = 256;

    // The open folder that a folder's batches and groups read through. The walk owns the
    // descriptor and closes it only when it has finished them all. A subfolder read ahead
    // owns its own (closed with it if the walk never takes it) until handOver().
    class Folder
    {
    public:
        // `closer` closes the folder when it is owned here; it outlives this object.
        explicit Folder(FileSystem::Handle descriptor, std::shared_ptr<FileSystem> closer = {})
            : m_descriptor(descriptor), m_closer(std::move(closer)), m_owned(m_closer != nullptr)
        {
        }
        ~Folder();
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;
        int descriptor() const { return m_descriptor; }
        // The walk takes over a subfolder read ahead: it closes it from now on.
        int handOver()
        {
            m_owned = false;
            return m_descriptor;
        }

    private:
        FileSystem::Handle m_descriptor;
        std::shared_ptr<FileSystem> m_closer;
        bool m_owned;
    };

    // Files of one folder.
    class Batch
    {
    public:
        std::size_t size() const { return m_names.size(); }

    private:
        friend class ReadAhead;
        struct Slot
        {
            FileStat stat;
            int error = 0;
            std::atomic<bool> ready{false};
        };
        std::shared_ptr<Folder> m_folder;
        std::vector<const char*> m_names; // owned by the folder's listing, which outlives it
        std::unique_ptr<Slot[]> m_slots;
        std::atomic<std::size_t> m_next{0}; // the first file no one has claimed
    };

    // A subfolder read ahead: open (on the same mount as its parent, without DOS attributes),
    // listed, and the properties of its first files read, as the walk would start them (unless
    // the filters need the subfolder's own rules to choose them: none are read then).
    struct Subfolder
    {
        std::shared_ptr<Folder> folder;
        std::unique_ptr<FolderListing> listing;
        int listError = 0;
        std::shared_ptr<Batch> files;     // done; null when there were none to read
        std::vector<std::size_t> entries; // the listing entries of `files`
        std::size_t scanned = 0;          // where the next batch's files are looked for
    };

    // Subfolders of one folder, in the walk's order.
    class Group
    {
    public:
        std::size_t size() const { return m_names.size(); }
        // The parent's listing entry of subfolder k.
        std::size_t entry(std::size_t k) const { return m_entries[k]; }

    private:
        friend class ReadAhead;
        enum State : int
        {
            kFree,   // not read yet, or being read
            kDone,   // read: waits for the walk
            kFailed, // could not be opened here: the walk opens it, and gives the error
            kTaken,  // the walk has it, or reads it itself
        };
        struct Slot
        {
            std::atomic<int> state{kFree};
            Subfolder result;
        };
        std::shared_ptr<Folder> m_parent;
        std::vector<const char*> m_names; // owned by the parent's listing, which outlives it
        std::vector<std::size_t> m_entries;
        std::unique_ptr<Slot[]> m_slots;
        std::atomic<std::size_t> m_next{0};  // the first subfolder no one has claimed
        std::atomic<std::size_t> m_taken{0}; // how far the walk has got
    };

    // How many more descriptors the process may open now: the open-files limit less those
    // open (the most a size_t holds when there is no limit).
    static std::size_t descriptorsLeft();

    // `pattern` and `filter` choose the files whose properties are read; both must outlive
    // this. Readers come from `fs` (the walk's), whose newReader() must not be null. The walk
    // keeps up to `walkDescriptors` descriptors open besides those it takes from here.
    // `readers` threads read (0: one for each core but the walk's).
    ReadAhead(const FileTypesPattern& pattern, const EntryFilter& filter, const FileSystem& fs,
              std::size_t walkDescriptors, std::size_t readers = 0);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The files of `listing` that the file pass reads, from entry `from` on, up to a batch's
    // worth: appends their entries and names, and returns where the next batch's begin.
    std::size_t nextFiles(const FolderListing& listing, std::size_t from,
                          std::vector<std::size_t>& entries, std::vector<const char*>& names) const;
    // Starts reading `names` (files of `folder`); null when too many batches are pending, and
    // the walk then reads the files itself.
    std::shared_ptr<Batch> start(const std::shared_ptr<Folder>& folder,
                                 std::vector<const char*> names);
    // The result for file k of the batch, as GetFileInfo() gives it; waits for it or reads it.
    int take(Batch& batch, std::size_t k, FileInfo& info);
    // The walk is done with the batch (also when it stops before taking every result): files
    // not yet claimed are never read, and a read under way is waited for.
    void finish(const std::shared_ptr<Batch>& batch);

    // Starts reading subfolders `names` (listing entries `entries`) of `parent`, whose
    // descriptor the walk's file system has opened on a plain mount.
    std::shared_ptr<Group> startGroup(const std::shared_ptr<Folder>& parent,
                                      std::vector<const char*> names,
                                      std::vector<std::size_t> entries);
    // Subfolder k of the group, taken in increasing k: true with `out` filled when it was read
    // ahead; false when the walk must open and read it itself (not yet started, or it failed).
    bool takeFolder(Group& group, std::size_t k, Subfolder& out);
    // The walk is done with the group: subfolders not yet claimed are never read, one being
    // read is waited for, and those read but not taken are closed.
    void finishGroup(const std::shared_ptr<Group>& group);

private:
    static constexpr std::size_t kMaxBatches = 8;
    // How far ahead of the walk a group is read, and how many subfolders read ahead may wait
    // for the walk in all: each holds a descriptor and its listing. Fewer where the process
    // may open few files, so that the walk's own opens don't fail for want of a descriptor;
    // more where many readers wait on a server, so that each has a folder to read.
    static constexpr std::size_t kGroupWindow = 16;
    static constexpr std::size_t kMaxReady = 64;

    struct Worker
    {
        std::shared_ptr<FileSystem> fs;
        std::thread thread;
    };

    // Claims and reads the next unclaimed file; false when none is left.
    static bool readNext(Batch& batch, FileSystem& fs);
    // Claims the next subfolder of a group the walk will want soonest; m_mutex held.
    bool claimFolder(std::shared_ptr<Group>& group, std::size_t& k);
    void readFolder(Group& group, std::size_t k, const std::shared_ptr<FileSystem>& fs);
    void work(Worker& worker);
    // Starts the workers if they are not running yet; m_mutex held.
    void startWorkers();
    // Wakes workers waiting for work, if any, after the walk freed some.
    void wakeIdle();

    const FileTypesPattern& m_pattern;
    const EntryFilter& m_filter;
    const FileSystem& m_fs;
    const std::size_t m_readers;
    const std::size_t m_groupWindow;
    std::shared_ptr<FileSystem> m_walkFs; // used on the walk's thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::shared_ptr<Batch>> m_batches; // oldest first
    std::vector<std::shared_ptr<Group>> m_groups;  // oldest first
    const std::size_t m_maxReady;
    std::atomic<std::size_t> m_ready{0}; // subfolders claimed or read, not yet taken
    std::atomic<int> m_idle{0};          // workers waiting for work
    bool m_stop = false;
    std::atomic<bool> m_stopping{false};            // m_stop, read without the lock
    std::vector<std::unique_ptr<Worker>> m_workers; // started with the first batch or group
    bool m_started = false;
};

} // namespace quillmap
