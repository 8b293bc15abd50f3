#pragma once

#include "tree/NodeStore.h"

#include <string>
#include <string_view>

namespace quillmap {

// Makes the text of a node that the store keeps as its name and properties only (a scanned
// file line, NodeStore::appendLine()): a few bytes of properties instead of a line of a hundred,
// and the line made whenever it is read (drawn, printed, written).
//
// Contract: the same name and properties always give the same line; makeLine() may be called
// from several threads at once.
class LineFormat
{
public:
    virtual ~LineFormat() = default;
    // Replaces `out` with the line of the file `name` with `details`.
    virtual void makeLine(std::string& out, std::string_view name,
                          const NodeStore::Details& details) const = 0;
};

} // namespace quillmap
