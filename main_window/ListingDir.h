#pragma once

#include "listing/ListingJsonReader.h"
#include "listing/TreeComparison.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace quillmap {

// The window's side of saved listings: choosing one, and the texts it shows about them.

// A file dialog for a listing to read, titled `title`; the chosen path or an empty text.
QString ChooseListing(QWidget* window, const QString& title);

// Why the listing `file` (as shown to the user) was not read, in the user's language.
QString ListingErrorText(ListingJsonReader::Result result, const QString& file, int systemError);

// The closing page of a comparison's printout: what was compared with, the counts, the bytes
// and what the marks mean.
QStringList ComparisonSummary(const TreeComparison::Summary& summary, const QString& file);

} // namespace quillmap
