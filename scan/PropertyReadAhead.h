#pragma once

#include "platform/files/PosixFileSystem.h"
#include "scan/FileInfo.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillmap {

// Reads the properties of a folder's files on a second thread, so that they are read while the
// walk is busy elsewhere (in the folder's subfolders, or with the files before them) and two
// reads are under way at once. The walk takes the results in the folder's order, reading any
// that no one has read yet itself: each file is read exactly once, as the walk alone would.
//
// Only for the real file system, on folders without DOS attributes: both threads read through
// a PosixFileSystem of their own that holds no folder state.
class PropertyReadAhead
{
public:
    // At most this many files in one batch, so that a folder of a million files holds the
    // results of a few thousand at a time: the walk starts the next batch of a folder as it
    // takes the first result of the one before.
    static constexpr std::size_t kMaxBatchFiles = 1024;

    // The open folder that a folder's batches read through. The walk keeps its descriptor,
    // unless it hands it over (closing its folder early) with adopt(): it is then closed once
    // the last batch is done with it.
    class Folder
    {
    public:
        explicit Folder(int descriptor) : m_descriptor(descriptor) {}
        ~Folder();
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;
        int descriptor() const { return m_descriptor; }
        void adopt() { m_owned = true; }

    private:
        int m_descriptor;
        bool m_owned = false;
    };

    // Files of one folder.
    class Batch
    {
    public:
        std::size_t size() const { return m_names.size(); }

    private:
        friend class PropertyReadAhead;
        struct Slot
        {
            FileStat stat;
            int error = 0;
            std::atomic<bool> ready{false};
        };
        std::shared_ptr<Folder> m_folder;
        std::vector<const char*> m_names; // owned by the walk's listing, which outlives the batch
        std::unique_ptr<Slot[]> m_slots;
        std::atomic<std::size_t> m_next{0}; // the first file no one has claimed
    };

    PropertyReadAhead() = default;
    ~PropertyReadAhead();
    PropertyReadAhead(const PropertyReadAhead&) = delete;
    PropertyReadAhead& operator=(const PropertyReadAhead&) = delete;

    // Starts reading `names` (files of `folder`); null when too many batches are pending, and
    // the walk then reads the files itself.
    std::shared_ptr<Batch> start(const std::shared_ptr<Folder>& folder,
                                 std::vector<const char*> names);
    // The result for file k of the batch, as GetFileInfo() gives it; waits for it or reads it.
    int take(Batch& batch, std::size_t k, FileInfo& info);
    // The walk is done with the batch (also when it stops before taking every result): files
    // not yet claimed are never read, and a read under way is waited for.
    void finish(const std::shared_ptr<Batch>& batch);

private:
    static constexpr std::size_t kMaxBatches = 8;

    // Claims and reads the next unclaimed file; false when none is left.
    static bool readNext(Batch& batch, FileSystem& fs);
    void work();

    PosixFileSystem m_walkFs;   // used on the walk's thread only
    PosixFileSystem m_workerFs; // used on the worker thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::shared_ptr<Batch>> m_batches; // oldest first
    bool m_stop = false;
    std::atomic<bool> m_stopping{false}; // m_stop, read without the lock
    std::thread m_worker;                // started with the first batch
};

} // namespace quillmap
