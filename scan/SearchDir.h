#pragma once

#include <QStringList>

#include <string>
#include <vector>

namespace quillmap {

class FileSystem;
class NodeStore;
class ScanControls;

// What a finished scan leaves besides the tree: the final counts and one line for each entry
// that could not be read ("path: reason"), in the order they were met.
struct ScanReport
{
    double dirCount = 0;
    double fileCount = 0;
    QStringList problems;
    // The path of each of them as file-system bytes (a folder's without its "/"), same order.
    std::vector<std::string> problemPaths;
    // False when the start folder itself could not be listed (the root then stands alone).
    bool startFolderRead = true;
    // True when the scan ended early because the controls asked it to stop; the tree then
    // holds what was found up to then.
    bool stopped = false;

    // Why entry `i` could not be read: the part of its problem after the path.
    QString problemReason(qsizetype i) const;
};

// The search command: clears `treeView1`, adds the root node for controls.startFolder() and
// walks the tree into it through `fs` (the platform's, or one a test injects failures
// through), with the options read from `controls`. Never throws; what could not be read is in
// the report.
ScanReport SearchDir(ScanControls& controls, NodeStore& treeView1, FileSystem& fs);

} // namespace quillmap
