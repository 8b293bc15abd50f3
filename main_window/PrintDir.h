#pragma once

#include "scan/DetailTicks.h"

#include <QStringList>

#include <memory>

class QWidget;

namespace quillmap {

class CPrintTvw;
class NodeStore;

// The print commands on `treeView1` (the last search), whose file lines carry the details
// `details`. `window` parents their dialogs and messages; `closingPage`, when not empty, is
// printed after the tree on a page of its own (all three commands). Each replaces `printObject`
// with the new CPrintTvw it prints. The print settings (PrintSettings.h) are the user's last
// choice (SavedPrintSettings), and each command lets them be changed and remembers them.
//
// PrintDir: File > Print. The platform's print dialog (every printer, copies, page range,
// paper), on the default printer, with the print settings and the number of pages the tree
// makes with them; with no printer it proposes a PDF file in the documents folder instead. A
// job of more than 100 pages (copies counted) is asked about once more. A PDF written is told
// in a message that can open it.
void PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
              const QStringList& closingPage = {}, DetailTicks details = {});

// File > Print Preview: the document as the PDF writer makes it on the paper Print and Save as
// PDF use (PdfPreview), from where it can be printed or saved. Modal.
void PrintPreview(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
                  const QStringList& closingPage = {}, DetailTicks details = {});

// File > Save as PDF...: asks for a file name (the searched folder's name by default, in the
// documents folder) and the print settings, and writes the document there. Modal; says so when
// it fails.
void SaveAsPdf(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject,
               const QStringList& closingPage = {}, DetailTicks details = {});

} // namespace quillmap
