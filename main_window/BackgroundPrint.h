#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace quillmap {

// Runs one print job at a time (a count of pages, a preview's document) on a thread of its
// own, so the window goes on answering while a long tree is laid out.
//
// Contract: start() stops the job running, if any, and starts `job` with a flag that turns true
// when the job is to stop (stop(), a new start() or this object's end), and a function that has
// something done on the thread that called start(): it is done there later, unless the job has
// been stopped or replaced meanwhile. stop() waits until the job has returned. The job must not
// use what the starting thread changes meanwhile; the print's tree is only read.
class BackgroundPrint : public QObject
{
    Q_OBJECT
public:
    using Post = std::function<void(std::function<void()>)>;
    using Job = std::function<void(const std::atomic<bool>& stop, const Post& post)>;

    explicit BackgroundPrint(QObject* parent = nullptr);
    ~BackgroundPrint() override;

    void start(Job job);
    void stop();
    bool isRunning() const;

private:
    QThread* m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_stop;
    unsigned m_generation = 0;
};

} // namespace quillmap
