#include "scan/PropertyReadAhead.h"

#include "scan/GetFileInfo.h"

#include <unistd.h>

namespace quillmap {

PropertyReadAhead::Folder::~Folder()
{
    if (m_owned)
        ::close(m_descriptor);
}

PropertyReadAhead::~PropertyReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_stopping.store(true, std::memory_order_relaxed);
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::shared_ptr<PropertyReadAhead::Batch>
PropertyReadAhead::start(const std::shared_ptr<Folder>& folder, std::vector<const char*> names)
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
    if (!m_worker.joinable())
        m_worker = std::thread([this] { work(); });
    m_wake.notify_one();
    return batch;
}

bool PropertyReadAhead::readNext(Batch& batch, FileSystem& fs)
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

int PropertyReadAhead::take(Batch& batch, std::size_t k, FileInfo& info)
{
    Batch::Slot& slot = batch.m_slots[k];
    // Files are claimed in order, so until file k is done either it is being read on the
    // other thread or an earlier or the same file is still unclaimed: read that one here.
    while (!slot.ready.load(std::memory_order_acquire)) {
        if (!readNext(batch, m_walkFs))
            slot.ready.wait(false, std::memory_order_acquire);
    }
    FillFileInfo(info, batch.m_names[k], slot.error, slot.stat);
    return slot.error;
}

void PropertyReadAhead::finish(const std::shared_ptr<Batch>& batch)
{
    // Nothing is read through the folder after this: the walk may close it.
    const std::size_t claimed =
        std::min(batch->m_next.exchange(batch->size(), std::memory_order_relaxed), batch->size());
    for (std::size_t k = 0; k < claimed; ++k)
        batch->m_slots[k].ready.wait(false, std::memory_order_acquire);
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::erase(m_batches, batch);
}

void PropertyReadAhead::work()
{
    for (;;) {
        std::shared_ptr<Batch> batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // The newest folder first: the one the walk is in, then those it comes back to.
            m_wake.wait(lock, [&] {
                if (m_stop)
                    return true;
                for (auto it = m_batches.rbegin(); it != m_batches.rend(); ++it)
                    if ((*it)->m_next.load(std::memory_order_relaxed) < (*it)->m_names.size()) {
                        batch = *it;
                        return true;
                    }
                return false;
            });
            if (m_stop)
                return;
        }
        while (!m_stopping.load(std::memory_order_relaxed) && readNext(*batch, m_workerFs)) {
        }
    }
}

} // namespace quillmap
