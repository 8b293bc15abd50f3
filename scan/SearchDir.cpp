#include "scan/SearchDir.h"

#include "platform/NodeStore.h"
#include "scan/ScanControls.h"

namespace quillmap {

// Placeholder until the walk lands: the driver's own steps only (root node, zero counts).
ScanReport SearchDir(ScanControls& controls, NodeStore& treeView1)
{
    controls.setBusy(true);
    controls.showCounts(0, 0);
    treeView1.clear();
    std::string start = controls.startFolder();
    if (start.empty() || start.back() != '/')
        start.push_back('/');
    treeView1.add(NodeStore::npos, start, start);
    controls.setBusy(false);
    return {};
}

} // namespace quillmap
