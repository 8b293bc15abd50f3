#pragma once

#include "printing/PrintSettings.h"
#include "scan/DetailTicks.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace quillmap {

class CPrintTvw;
class NodeStore;

// The Print command's document, shared by the window and the command-line lister so both print
// the same pages.
//
// NewDirectoryPrint: a new CPrintTvw with the command's settings, set in their order (tree
// lines in `settings`' size and weight, 8 pt bold by default, the footer as `settings` say, on
// by default, whole tree, `secondTitle` as the second title in 8 pt (none by default; the
// search's filters where it had any), title "View of " + the full path of item 1 in bold 14 pt,
// connector lines), with `tree` as tvwToPrint; then `settings`' layout, the details `details`
// its file lines carry, a heading naming the folder that goes on at the top of every page after
// the first, and the column headings, in the user's language. `tree` must not be empty (the
// title comes from item 1); the caller keeps it alive while printing.
std::shared_ptr<CPrintTvw> NewDirectoryPrint(NodeStore& tree, const PrintSettings& settings = {},
                                             DetailTicks details = {},
                                             const QString& secondTitle = {});
// NewBranchPrint: the same for the subtree of node `branch` alone: PrintStyle 2 with `branch`
// made the selected node, titled "View of " + its path.
std::shared_ptr<CPrintTvw> NewBranchPrint(NodeStore& tree, std::uint32_t branch,
                                          const PrintSettings& settings = {},
                                          DetailTicks details = {},
                                          const QString& secondTitle = {});

} // namespace quillmap
