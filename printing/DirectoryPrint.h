#pragma once

#include <QString>

#include <memory>

namespace quillmap {

class CPrintTvw;
class NodeStore;

// The Print command's document, shared by the window and the command-line lister so both print
// the same pages.
//
// NewDirectoryPrint: a new CPrintTvw with the command's fixed settings, set in their order
// (tree lines bold 8 pt, footer on, whole tree, no second title, title "View of " + the full
// path of item 1 in bold 14 pt, connector lines), with `tree` as tvwToPrint. `tree` must not be
// empty (the title comes from item 1); the caller keeps it alive while printing.
std::shared_ptr<CPrintTvw> NewDirectoryPrint(NodeStore& tree);

// Prints `print` into the PDF file `path` on the locale's paper size, through SafeFile: a
// failed print leaves what was at `path` as it was. Returns false with `error` set when the
// file can't be written or the print is rejected.
bool PrintToPdfFile(CPrintTvw& print, const QString& path, QString* error);

} // namespace quillmap
