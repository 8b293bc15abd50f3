#pragma once

#include "scan/DetailTicks.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QWidget;

namespace quillmap {

class CPrintTvw;
class NodeStore;

// What a print command prints besides the tree: the details its file lines carry, the page
// that follows the tree (a comparison's summary), the second title line (the search's
// filters), and the node whose subtree alone is printed (Print This Branch; none: the whole
// tree).
struct PrintRequest
{
    DetailTicks details;
    QStringList closingPage;
    QString secondTitle;
    std::uint32_t branch = UINT32_MAX;
};

// The print commands on `treeView1` (the last search). `window` parents their dialogs and
// messages. Each replaces `printObject` with the new CPrintTvw it prints. The print settings
// (PrintSettings.h) are the user's last choice (SavedPrintSettings), and each command lets them
// be changed and remembers them.
//
// PrintDir: File > Print. The platform's print dialog (every printer, copies, page range,
// paper), on the default printer, with the print settings and the number of pages the tree
// makes with them; with no printer it proposes a PDF file in the documents folder instead. A
// job of more than 100 pages (copies counted) is asked about once more. A PDF written is told
// in a message that can open it, and its path returned (empty otherwise).
QString PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                 const PrintRequest& request = {});

// File > Print Preview: the document as the PDF writer makes it on the paper Print and Save as
// PDF use (PdfPreview), from where it can be printed or saved. Modal.
void PrintPreview(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const PrintRequest& request = {});

// File > Save as PDF...: asks for a file name (the searched folder's name by default, in the
// documents folder) and the print settings, and writes the document there. Modal; says so when
// it fails. Returns the file written; empty when nothing was.
QString SaveAsPdf(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const PrintRequest& request = {});

} // namespace quillmap
