#pragma once

#include "listing/ListingJsonReader.h"
#include "listing/TreeComparison.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class QFont;

class QWidget;

namespace quillmap {

class ListingDocument;

// The window's side of saved listings: choosing one, and the texts it shows about them.

// A file dialog for a listing to read, titled `title`; the chosen path or an empty text.
QString ChooseListing(QWidget* window, const QString& title);

// File > Open Listing... once a file is chosen: reads it into `document`; false, after telling
// why, with the document as it was, when it can't be used.
bool OpenListing(QWidget* window, ListingDocument& document, const QString& path);
// File > Compare with Listing... once a file is chosen: compares `document` with it; false,
// after telling why, with the document as it was, when there is nothing to compare or the file
// can't be used.
bool CompareWithListing(QWidget* window, ListingDocument& document, const QString& path);
// False, after telling so, when `document` holds no tree to compare.
bool SomethingToCompare(QWidget* window, const ListingDocument& document);

// Why the listing `file` (as shown to the user) was not read, in the user's language.
QString ListingErrorText(ListingJsonReader::Result result, const QString& file, int systemError);

// How the tree view shows a comparison's node `id` in `role`: green what was added, red and in
// italics (of `font`) what was removed, blue what changed; nothing for other roles.
QVariant ChangeMark(const std::vector<NodeChange>& changes, NodeStore::Id id, int role,
                    const QFont& font);

// What the window's title adds after the start folder: " - " and the opened listing's file, or
// what the tree was compared with; nothing for a searched tree.
QString ListingTitle(const ListingDocument& document);

// The closing page of a comparison's printout: what was compared with, the counts, the bytes
// and what the marks mean.
QStringList ComparisonSummary(const TreeComparison::Summary& summary, const QString& file);

} // namespace quillmap
