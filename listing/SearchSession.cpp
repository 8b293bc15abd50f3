#include "listing/SearchSession.h"

#include "listing/ListingDocument.h"
#include "listing/ScanSource.h"
#include "scan/ScanControls.h"
#include "support/LangFunctions.h"

#include <QThread>
#include <QTimer>

#include <exception>

namespace quillmap {

// The options a search was started with, its counts kept for the owner's thread and the
// session's request to stop.
class SearchSession::Counting : public ScanControls
{
public:
    Counting(SearchSession& session, ScanControls& options) : m_session(session), m_options(options)
    {
    }

    std::string startFolder() const override { return m_options.startFolder(); }
    QString levelsText() const override { return m_options.levelsText(); }
    QString fileTypesText() const override { return m_options.fileTypesText(); }
    bool isTicked(int index) const override { return m_options.isTicked(index); }
    ScanFilters filters() const override { return m_options.filters(); }
    void showCounts(double dirCount, double fileCount) override
    {
        m_session.m_dirCount.store(dirCount, std::memory_order_relaxed);
        m_session.m_fileCount.store(fileCount, std::memory_order_relaxed);
        m_options.showCounts(dirCount, fileCount);
    }
    void setBusy(bool busy) override { m_options.setBusy(busy); }
    bool stopRequested() const override
    {
        return m_session.stopRequested() || m_options.stopRequested();
    }

private:
    SearchSession& m_session;
    ScanControls& m_options;
};

SearchSession::SearchSession(ListingDocument& document, std::shared_ptr<FileSystem> fs,
                             QObject* parent)
    : QObject(parent), m_document(document), m_fs(std::move(fs)), m_timer(new QTimer(this))
{
    m_timer->setInterval(kProgressIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { emit progress(dirCount(), fileCount()); });
}

SearchSession::~SearchSession()
{
    abandon();
}

void SearchSession::begin()
{
    m_stop.store(false, std::memory_order_relaxed);
    m_dirCount.store(0, std::memory_order_relaxed);
    m_fileCount.store(0, std::memory_order_relaxed);
    m_failure.clear();
    m_record = SearchRecord();
    m_tree.clear();
    // The tree shown before goes now, not after the new one is found.
    m_document.clear();
}

void SearchSession::search(ScanControls& options)
{
    // Nothing may escape the search's thread: a failure is kept for the owner to tell.
    try {
        Counting counting(*this, options);
        ScanSource(counting, *m_fs).read(m_tree, m_record);
    } catch (const std::exception& e) {
        m_failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        m_failure = LangFunctions::MessageText(56, "unknown error");
    }
}

bool SearchSession::start(std::unique_ptr<ScanControls> options)
{
    if (m_thread)
        return false;
    begin();
    m_options = std::move(options);
    const quint64 serial = ++m_serial;
    m_thread.reset(QThread::create([this] { search(*m_options); }));
    // Queued to the owner's thread. A search abandoned has no thread left, and a later search
    // has another serial number.
    connect(m_thread.get(), &QThread::finished, this, [this, serial] {
        if (m_thread && serial == m_serial)
            end(true);
    });
    m_thread->start();
    m_timer->start();
    return true;
}

void SearchSession::run(ScanControls& options)
{
    begin();
    search(options);
    end(true);
}

void SearchSession::abandon()
{
    if (!m_thread)
        return;
    stop();
    end(false);
}

void SearchSession::end(bool announce)
{
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
        m_timer->stop();
    }
    m_options.reset();
    const ScanReport report = m_record.report;
    m_document.adopt(std::move(m_tree), std::move(m_record), ListingDocument::Origin::Search);
    m_record = SearchRecord();
    if (announce)
        emit finished(report, m_failure);
}

} // namespace quillmap
