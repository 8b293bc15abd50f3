#pragma once

#include <QObject>
#include <QString>

namespace quillmap {

class ListingDocument;
class StatusBar;
struct ScanReport;

// What panel 1 of the status bar says about the window's commands: a search's counts as they
// grow and at its end, a file written (Export, Save as PDF, a print into the documents folder)
// with a click on the panel opening it, and a comparison's counts with what its marks mean.
class StatusMessages : public QObject
{
    Q_OBJECT
public:
    explicit StatusMessages(StatusBar& bar);

    void counts(double dirCount, double fileCount);
    void searchEnded(const ScanReport& report, double dirCount, double fileCount);
    // `path` was written, as message `message` tells; nothing when `path` is empty.
    void written(const QString& path, int message, const char* english);
    void compared(const ListingDocument& document);
    // The file the last written() named.
    const QString& writtenFile() const { return m_written; }

private:
    StatusBar& m_bar;
    QString m_written;
};

} // namespace quillmap
