#pragma once

#include <QStringList>

#include <cstdint>
#include <memory>

class QWidget;

namespace quillmap {

class CPrintTvw;
class NodeStore;

// The print command: prints `treeView1` (the last search) with the fixed settings, replacing
// `printObject` with the new CPrintTvw it creates. `window` parents any message it shows.
// `closingPage`, when not empty, is printed after the tree on a page of its own, and
// `secondTitle` under the title (all three commands). With a `branch`, only that node's subtree
// is printed (Print This Branch). Returns the PDF file written to the documents folder when
// there is no printer; empty otherwise.
QString PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                 const QStringList& closingPage = {}, const QString& secondTitle = {},
                 std::uint32_t branch = UINT32_MAX);

// File > Print Preview: the document Print would send, page by page, in Qt's print preview
// (from where it can be printed), through the same engine and settings. Modal.
void PrintPreview(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const QStringList& closingPage = {}, const QString& secondTitle = {});

// File > Save as PDF...: asks for a file name (the searched folder's name by default, in the
// documents folder) and writes the same document there. Modal; says so when it fails.
// Returns the file written; empty when nothing was.
QString SaveAsPdf(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const QStringList& closingPage = {}, const QString& secondTitle = {});

} // namespace quillmap
