#include "scan/ReadAhead.h"

#include "scan/EntryFilter.h"
#include "scan/FileTypesPattern.h"
#include "scan/GetFileInfo.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace quillmap {

namespace {

// One reader for each core but the walk's, which reads too whenever it would wait; at least
// one, so the walk is never the only one waiting on the disk. As many as asked for where the
// reads wait on a server.
std::size_t WorkerCount(std::size_t wanted)
{
    if (wanted > 0)
        return std::min<std::size_t>(wanted, 64);
    const std::size_t cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores > 1 ? cores - 1 : 1, 1, 7);
}

// How many subfolders read ahead may hold a descriptor at once: half of what the process may
// still open beside those the walk keeps for itself.
std::size_t MaxReadyFolders(std::size_t most, std::size_t walkDescriptors)
{
    const std::size_t left = ReadAhead::descriptorsLeft();
    return left > walkDescriptors + 2 ? std::min(most, (left - walkDescriptors - 2) / 2) : 0;
}

} // namespace

std::size_t ReadAhead::descriptorsLeft()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<std::size_t>::max();
    std::size_t open = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds))
            open += entry->d_name[0] != '.';
        --open; // the listing's own
        ::closedir(fds);
    } else {
        // No /proc: each descriptor number asked in turn, where there are few to ask.
        if (limit.rlim_cur > 65536)
            return std::numeric_limits<std::size_t>::max();
        for (rlim_t fd = 0; fd < limit.rlim_cur; ++fd)
            open += ::fcntl(int(fd), F_GETFD) != -1;
    }
    return limit.rlim_cur > open ? std::size_t(limit.rlim_cur - open) : 0;
}

ReadAhead::Folder::~Folder()
{
    if (m_owned)
        m_closer->closeFolder(m_descriptor);
}

ReadAhead::ReadAhead(const FileTypesPattern& pattern, const EntryFilter& filter,
                     const FileSystem& fs, std::size_t walkDescriptors, std::size_t readers)
    : m_pattern(pattern), m_filter(filter), m_fs(fs), m_readers(WorkerCount(readers)),
      m_groupWindow(std::max(kGroupWindow, 2 * m_readers)), m_walkFs(fs.newReader()),
      m_maxReady(MaxReadyFolders(std::max(kMaxReady, 4 * m_readers), walkDescriptors))
{
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_stopping.store(true, std::memory_order_relaxed);
    }
    m_wake.notify_all();
    for (auto& worker : m_workers)
        worker->thread.join();
}

void ReadAhead::startWorkers()
{
    if (m_started)
        return;
    m_started = true;
    m_workers.reserve(m_readers);
    try {
        for (std::size_t n = m_readers; n > 0; --n) {
            auto worker = std::make_unique<Worker>();
            worker->fs = m_fs.newReader();
            Worker* w = worker.get();
            w->thread = std::thread([this, w] { work(*w); });
            m_workers.push_back(std::move(worker));
        }
    } catch (const std::system_error&) {
        // No thread to be had (a process at its limit): the walk reads what no worker does.
    }
}

void ReadAhead::wakeIdle()
{
    if (m_idle.load() == 0)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wake.notify_all();
}

std::shared_ptr<ReadAhead::Batch> ReadAhead::start(const std::shared_ptr<Folder>& folder,
                                                   std::vector<const char*> names)
{
    if (names.empty())
        return nullptr;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_batches.size() >= kMaxBatches)
        return nullptr;
    auto batch = std::make_shared<Batch>();
    batch->m_folder = folder;
    batch->m_slots = std::make_unique<Batch::Slot[]>(names.size());
    batch->m_names = std::move(names);
    m_batches.push_back(batch);
    startWorkers();
    m_wake.notify_one();
    return batch;
}

bool ReadAhead::readNext(Batch& batch, FileSystem& fs)
{
    const std::size_t k = batch.m_next.fetch_add(1, std::memory_order_relaxed);
    if (k >= batch.m_names.size())
        return false;
    Batch::Slot& slot = batch.m_slots[k];
    slot.error = ReadFileStat(fs, batch.m_folder->descriptor(), batch.m_names[k], slot.stat);
    slot.ready.store(true, std::memory_order_release);
    slot.ready.notify_one();
    return true;
}

int ReadAhead::take(Batch& batch, std::size_t k, FileInfo& info)
{
    Batch::Slot& slot = batch.m_slots[k];
    // Files are claimed in order, so until file k is done either it is being read on the
    // other thread or an earlier or the same file is still unclaimed: read that one here.
    while (!slot.ready.load(std::memory_order_acquire)) {
        if (!readNext(batch, *m_walkFs))
            slot.ready.wait(false, std::memory_order_acquire);
    }
    FillFileInfo(info, batch.m_names[k], slot.error, slot.stat);
    return slot.error;
}

void ReadAhead::finish(const std::shared_ptr<Batch>& batch)
{
    // Nothing is read through the folder after this: the walk may close it.
    const std::size_t claimed =
        std::min(batch->m_next.exchange(batch->size(), std::memory_order_relaxed), batch->size());
    for (std::size_t k = 0; k < claimed; ++k)
        batch->m_slots[k].ready.wait(false, std::memory_order_acquire);
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::erase(m_batches, batch);
}

std::shared_ptr<ReadAhead::Group> ReadAhead::startGroup(const std::shared_ptr<Folder>& parent,
                                                        std::vector<const char*> names,
                                                        std::vector<std::size_t> entries)
{
    if (names.empty())
        return nullptr;
    auto group = std::make_shared<Group>();
    group->m_parent = parent;
    group->m_slots = std::make_unique<Group::Slot[]>(names.size());
    group->m_names = std::move(names);
    group->m_entries = std::move(entries);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_groups.push_back(group);
    startWorkers();
    m_wake.notify_all();
    return group;
}

bool ReadAhead::claimFolder(std::shared_ptr<Group>& group, std::size_t& k)
{
    if (m_ready.load() >= m_maxReady)
        return false;
    // The newest group first: the subfolders of the folder the walk is in.
    for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it) {
        Group& g = **it;
        std::size_t next = g.m_next.load();
        while (next < g.size() && next < g.m_taken.load() + m_groupWindow) {
            if (g.m_next.compare_exchange_weak(next, next + 1)) {
                m_ready.fetch_add(1);
                group = *it;
                k = next;
                return true;
            }
        }
    }
    return false;
}

std::size_t ReadAhead::nextFiles(const FolderListing& listing, std::size_t from,
                                 std::vector<std::size_t>& entries,
                                 std::vector<const char*>& names) const
{
    // Files the filters leave out by name alone are not read; the others the walk has marked.
    const bool byName = m_filter.active() && m_filter.filesByName();
    std::size_t i = from;
    for (; i < listing.size() && names.size() < kMaxBatchFiles; ++i)
        if (listing.kind(i) == FolderListing::Kind::File && m_pattern.matches(listing.name(i)) &&
            (!byName || m_filter.keepsFileName(listing.name(i)))) {
            entries.push_back(i);
            names.push_back(listing.cName(i));
        }
    return i;
}

void ReadAhead::readFolder(Group& group, std::size_t k, const std::shared_ptr<FileSystem>& reader)
{
    FileSystem& fs = *reader;
    Group::Slot& slot = group.m_slots[k];
    Subfolder& r = slot.result;
    FileSystem::Handle descriptor = -1;
    if (m_stopping.load(std::memory_order_relaxed) ||
        fs.openPlainSubfolder(group.m_parent->descriptor(), group.m_names[k], descriptor) != 0) {
        slot.state.store(Group::kFailed, std::memory_order_release);
        slot.state.notify_all();
        return;
    }
    r.folder = std::make_shared<Folder>(descriptor, reader);
    r.listing = std::make_unique<FolderListing>();
    r.listing->setKeepHidden(m_filter.keepsDotNames());
    r.listError = fs.list(descriptor, *r.listing);
    // Its first files, as the walk picks them when it enters a folder.
    const FolderListing& listing = *r.listing;
    std::vector<const char*> names;
    if (!m_filter.active() || m_filter.filesByName())
        r.scanned = nextFiles(listing, 0, r.entries, names);
    if (!names.empty()) {
        auto batch = std::make_shared<Batch>();
        batch->m_folder = r.folder;
        batch->m_slots = std::make_unique<Batch::Slot[]>(names.size());
        for (std::size_t j = 0; j < names.size(); ++j) {
            Batch::Slot& file = batch->m_slots[j];
            file.error = ReadFileStat(fs, descriptor, names[j], file.stat);
            file.ready.store(true, std::memory_order_relaxed);
        }
        batch->m_next.store(names.size(), std::memory_order_relaxed);
        batch->m_names = std::move(names);
        r.files = std::move(batch);
    }
    slot.state.store(Group::kDone, std::memory_order_release);
    slot.state.notify_all();
}

bool ReadAhead::takeFolder(Group& group, std::size_t k, Subfolder& out)
{
    group.m_taken.store(k + 1);
    Group::Slot& slot = group.m_slots[k];
    std::size_t next = group.m_next.load();
    while (next <= k) {
        // Not started: the walk reads it (and any it passed over) itself.
        if (group.m_next.compare_exchange_weak(next, k + 1)) {
            for (std::size_t j = next; j <= k; ++j)
                group.m_slots[j].state.store(Group::kTaken, std::memory_order_relaxed);
            wakeIdle();
            return false;
        }
    }
    // Being read on another thread: meanwhile the walk reads the next one that no one has
    // started, rather than wait.
    int state;
    while ((state = slot.state.load(std::memory_order_acquire)) == Group::kFree) {
        std::size_t j = group.m_next.load();
        if (j < group.size() && j < k + m_groupWindow && m_ready.load() < m_maxReady &&
            group.m_next.compare_exchange_strong(j, j + 1)) {
            m_ready.fetch_add(1);
            readFolder(group, j, m_walkFs);
        } else {
            slot.state.wait(Group::kFree, std::memory_order_acquire);
        }
    }
    const bool done = state == Group::kDone;
    if (done)
        out = std::move(slot.result);
    slot.state.store(Group::kTaken, std::memory_order_relaxed);
    // Workers that stopped at the window's end go on once half of it is free, and those that
    // stopped at the limit of subfolders read ahead as soon as there is room.
    if (m_ready.fetch_sub(1) == m_maxReady || next <= k + 1 + m_groupWindow / 2)
        wakeIdle();
    return done;
}

void ReadAhead::finishGroup(const std::shared_ptr<Group>& group)
{
    std::size_t claimed;
    {
        // Under the lock no worker is between claiming a subfolder and starting on it.
        const std::lock_guard<std::mutex> lock(m_mutex);
        claimed = std::min(group->m_next.exchange(group->size()), group->size());
        std::erase(m_groups, group);
    }
    std::size_t dropped = 0;
    for (std::size_t k = 0; k < claimed; ++k) {
        Group::Slot& slot = group->m_slots[k];
        int state;
        while ((state = slot.state.load(std::memory_order_acquire)) == Group::kFree)
            slot.state.wait(Group::kFree, std::memory_order_acquire);
        if (state != Group::kTaken) {
            slot.result = Subfolder{}; // closes it
            slot.state.store(Group::kTaken, std::memory_order_relaxed);
            ++dropped;
        }
    }
    if (dropped) {
        m_ready.fetch_sub(dropped);
        wakeIdle();
    }
}

void ReadAhead::work(Worker& worker)
{
    for (;;) {
        std::shared_ptr<Batch> batch;
        std::shared_ptr<Group> group;
        std::size_t k = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            for (;;) {
                if (m_stop)
                    return;
                // Counted as idle before looking, so that a walk that frees work after the
                // look sees it and wakes this worker.
                m_idle.fetch_add(1);
                // Files first: the walk is about to want them. The newest folder first: the
                // one the walk is in, then those it comes back to.
                for (auto it = m_batches.rbegin(); it != m_batches.rend() && !batch; ++it)
                    if ((*it)->m_next.load(std::memory_order_relaxed) < (*it)->m_names.size())
                        batch = *it;
                if (batch || claimFolder(group, k)) {
                    m_idle.fetch_sub(1);
                    break;
                }
                m_wake.wait(lock);
                m_idle.fetch_sub(1);
            }
        }
        if (batch) {
            while (!m_stopping.load(std::memory_order_relaxed) && readNext(*batch, *worker.fs)) {
            }
        } else {
            readFolder(*group, k, worker.fs);
        }
    }
}

} // namespace quillmap
