#pragma once

#include <memory>

class QWidget;

namespace quillmap {

class CPrintTvw;
class NodeStore;

// The print command: prints `treeView1` (the last search) with the fixed settings, replacing
// `printObject` with the new CPrintTvw it creates. `window` parents any message it shows.
void PrintDir(QWidget* window, NodeStore& treeView1, std::shared_ptr<CPrintTvw>& printObject);

} // namespace quillmap
