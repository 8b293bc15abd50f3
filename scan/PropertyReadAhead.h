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
    // The files of one folder, read through a descriptor of its own.
    class Batch
    {
    public:
        ~Batch();
        std::size_t size() const { return m_names.size(); }

    private:
        friend class PropertyReadAhead;
        struct Slot
        {
            FileInfo info;
            int error = 0;
            std::atomic<bool> ready{false};
        };
        int m_folder = -1;
        std::vector<const char*> m_names; // owned by the walk's listing, which outlives the batch
        std::unique_ptr<Slot[]> m_slots;
        std::atomic<std::size_t> m_next{0}; // the first file no one has claimed
    };

    PropertyReadAhead() = default;
    ~PropertyReadAhead();
    PropertyReadAhead(const PropertyReadAhead&) = delete;
    PropertyReadAhead& operator=(const PropertyReadAhead&) = delete;

    // Starts reading `names` (files of the open folder `folder`); null when too many folders
    // are pending or no descriptor is left, and the walk then reads the files itself.
    std::shared_ptr<Batch> start(int folder, std::vector<const char*> names);
    // The result for file k of the batch, as GetFileInfo() gives it; waits for it or reads it.
    int take(Batch& batch, std::size_t k, FileInfo& info);
    // The walk is done with the batch.
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
    std::thread m_worker; // started with the first batch
};

} // namespace quillmap
