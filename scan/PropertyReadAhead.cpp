#include "scan/PropertyReadAhead.h"

#include "scan/GetFileInfo.h"

#include <fcntl.h>
#include <unistd.h>

namespace quillmap {

PropertyReadAhead::Batch::~Batch()
{
    if (m_folder >= 0)
        ::close(m_folder);
}

PropertyReadAhead::~PropertyReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::shared_ptr<PropertyReadAhead::Batch> PropertyReadAhead::start(int folder,
                                                                   std::vector<const char*> names)
{
    if (names.empty())
        return nullptr;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_batches.size() >= kMaxBatches)
        return nullptr;
    auto batch = std::make_shared<Batch>();
    // A descriptor of its own: the walk may close its folder early (deep trees) meanwhile.
    batch->m_folder = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (batch->m_folder < 0)
        return nullptr;
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
    slot.error = GetFileInfo(fs, batch.m_folder, batch.m_names[k], slot.info);
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
    if (slot.error == 0)
        std::swap(info, slot.info);
    return slot.error;
}

void PropertyReadAhead::finish(const std::shared_ptr<Batch>& batch)
{
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
        while (readNext(*batch, m_workerFs)) {
        }
    }
}

} // namespace quillmap
