#include "main_window/BackgroundPrint.h"

#include <QThread>

namespace quillmap {

BackgroundPrint::BackgroundPrint(QObject* parent) : QObject(parent) {}

BackgroundPrint::~BackgroundPrint()
{
    stop();
}

void BackgroundPrint::start(Job job)
{
    stop();
    const unsigned generation = ++m_generation;
    auto stopFlag = std::make_shared<std::atomic<bool>>(false);
    m_stop = stopFlag;
    // What the job posts is done here, on this object's thread, if this job is still the one.
    // This object outlives the job (its end waits for it), and what is posted to it goes with
    // it.
    Post post = [this, generation, stopFlag](std::function<void()> work) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, stopFlag, work = std::move(work)] {
                if (m_generation == generation && !*stopFlag)
                    work();
            },
            Qt::QueuedConnection);
    };
    m_thread = QThread::create(
        [job = std::move(job), stopFlag, post = std::move(post)] { job(*stopFlag, post); });
    m_thread->start();
}

void BackgroundPrint::stop()
{
    if (!m_thread)
        return;
    *m_stop = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

bool BackgroundPrint::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

} // namespace quillmap
