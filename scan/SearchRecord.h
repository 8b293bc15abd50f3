#pragma once

#include "scan/DetailTicks.h"
#include "scan/ScanFilters.h"
#include "scan/SearchDir.h"

#include <QString>

#include <cstdint>
#include <string>

namespace quillmap {

class ScanControls;

// What a search was asked for and what it met besides the tree: enough to print, export,
// reopen and compare its listing later.
struct SearchRecord
{
    std::string folder; // the root node's key: the start folder's bytes, ending in "/"
    QString levels;
    QString types;
    DetailTicks details;
    ScanFilters filters;
    std::int64_t searchedAt = 0; // when the search started, seconds since the epoch (UTC)
    ScanReport report;           // counts and the entries that could not be read

    // The options as `controls` show them now, the folder as the search keys its root, and the
    // current time.
    static SearchRecord startedWith(const ScanControls& controls);
};

} // namespace quillmap
