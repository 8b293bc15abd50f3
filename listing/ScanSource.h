#pragma once

#include "listing/ListingSource.h"

namespace quillmap {

class FileSystem;
class ScanControls;

// A search of the folder `controls` names, with the options they show, through `fs`: the
// record holds the options as the search began and its report.
class ScanSource : public ListingSource
{
public:
    ScanSource(ScanControls& controls, FileSystem& fs) : m_controls(controls), m_fs(fs) {}
    bool read(NodeStore& tree, SearchRecord& record) override;

private:
    ScanControls& m_controls;
    FileSystem& m_fs;
};

} // namespace quillmap
