#include "main_window/StatusMessages.h"

#include "listing/ListingDocument.h"
#include "platform/controls/StatusBar.h"
#include "scan/ScanControls.h"
#include "support/LangFunctions.h"

#include <QDesktopServices>
#include <QDir>
#include <QLocale>
#include <QUrl>

namespace quillmap {

using LangFunctions::MessageText;

StatusMessages::StatusMessages(StatusBar& bar) : QObject(&bar), m_bar(bar)
{
    connect(&bar, &StatusBar::linkActivated, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_written)); });
}

void StatusMessages::counts(double dirCount, double fileCount)
{
    m_bar.setPanelText(1, ScanControls::statusText(dirCount, fileCount));
}

void StatusMessages::searchEnded(const ScanReport& report, double dirCount, double fileCount)
{
    QString status = ScanControls::statusText(dirCount, fileCount);
    // A search stopped with Esc says so before the counts.
    if (report.stopped)
        status = MessageText(55, "The search was stopped. The tree shows what was found up to "
                                 "then.") +
                 QLatin1Char(' ') + status;
    m_bar.setPanelText(1, status);
}

void StatusMessages::written(const QString& path, int message, const char* english)
{
    if (path.isEmpty())
        return;
    m_written = path;
    m_bar.setPanelLink(1, MessageText(message, english).arg(QDir::toNativeSeparators(path)));
}

void StatusMessages::compared(const ListingDocument& document)
{
    const TreeComparison::Summary& summary = document.summary();
    const auto count = [&summary](NodeChange change) {
        const auto i = std::size_t(change);
        return QLocale().toString(qulonglong(summary.files[i] + summary.folders[i]));
    };
    m_bar.setPanelText(1, MessageText(157, "Compared with %1: %2 added, %3 removed, %4 changed.")
                                  .arg(document.comparedWith(), count(NodeChange::Added),
                                       count(NodeChange::Removed), count(NodeChange::Changed)) +
                              QLatin1Char(' ') +
                              MessageText(93, "Marks: + added, - removed, ~ changed, = the same"));
}

} // namespace quillmap
