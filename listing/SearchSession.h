#pragma once

#include "scan/SearchDir.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class QTimer;

namespace quillmap {

class FileSystem;
class ListingDocument;
class ScanControls;

// Runs searches into a listing document, from start to end: the search's thread, a request to
// stop, the counts as they grow, and the end with its report. The window and quillmap_list both
// search through it; they only show what it tells.
//
// Contract: made, used and destroyed on one thread (the owner's), whose event loop delivers
// progress() and finished() of a search started with start(). One search at a time. The
// document is emptied when a search starts and holds the search's tree (Origin::Search) when
// finished() is emitted; in between nothing may read or change it. `fs` is what every search
// reads through (the platform's, or a test's). Destroying the session stops a running search
// and waits for it.
class SearchSession : public QObject
{
    Q_OBJECT
public:
    SearchSession(ListingDocument& document, std::shared_ptr<FileSystem> fs,
                  QObject* parent = nullptr);
    ~SearchSession() override;

    void setFileSystem(std::shared_ptr<FileSystem> fs) { m_fs = std::move(fs); }

    // Starts a search on a thread of its own with the options `options` give, which it reads
    // there, so they must not depend on anything of the owner's thread (a snapshot of the
    // window's controls). Returns false, doing nothing, while a search runs.
    bool start(std::unique_ptr<ScanControls> options);
    // A search on the calling thread, to its end, for a program without an event loop: the
    // document holds its tree when it returns, and finished() has been emitted.
    void run(ScanControls& options);

    bool isRunning() const { return m_thread != nullptr; }
    // Asks the running search to stop where it is: the tree keeps what was found, and
    // finished() follows with report.stopped set. May be called from any thread.
    void stop() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    // Stops the running search and waits for it: the document holds what was found, and
    // finished() is not emitted (the window is closing).
    void abandon();

    // The counts of the running search, or of the last one.
    double dirCount() const { return m_dirCount.load(std::memory_order_relaxed); }
    double fileCount() const { return m_fileCount.load(std::memory_order_relaxed); }

    // How often progress() is emitted while a search runs.
    static constexpr int kProgressIntervalMs = 50;

signals:
    // The counts so far, every kProgressIntervalMs while a search runs.
    void progress(double dirCount, double fileCount);
    // A search has ended and the document holds its tree: its report, and, when it ended early
    // because something failed, why (empty otherwise).
    void finished(const ScanReport& report, const QString& failure);

private:
    class Counting;

    void begin();
    // Runs the search; on the search's thread, or the caller's.
    void search(ScanControls& options);
    // Hands the tree found to the document; on the owner's thread.
    void end(bool announce);

    ListingDocument& m_document;
    std::shared_ptr<FileSystem> m_fs;
    std::unique_ptr<ScanControls> m_options;
    std::unique_ptr<QThread> m_thread;
    QTimer* m_timer = nullptr;
    quint64 m_serial = 0; // which search a thread's end belongs to
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_dirCount{0};
    std::atomic<double> m_fileCount{0};
    // What the search found, until end() hands it to the document.
    NodeStore m_tree;
    SearchRecord m_record;
    QString m_failure;
};

} // namespace quillmap
