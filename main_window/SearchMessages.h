#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace quillmap {

struct ScanReport;

// The messages after a search: why it stopped early (`failure`, when not empty), and the
// entries it could not read, the first few named and all of them behind Show Details.
void ReportSearch(QWidget* window, const QString& caption, const ScanReport& report,
                  const QString& failure);

// The text naming the unreadable entries (one "path: reason" each).
QString ProblemsText(const QStringList& problems);

} // namespace quillmap
