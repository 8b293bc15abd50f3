#pragma once

#include <cstdint>

namespace quillmap {

// How the tree lines of a printout are laid out: one line per node with its details after the
// name, or a table with the tree in the left column and each ticked detail in a column of its
// own.
enum class PrintLayout
{
    Lines,
    Columns,
};

// The settings of a printout the user chooses; the defaults are the Print command's own
// ones (tree lines bold 8 pt, a footer on every page, one line per node).
struct PrintSettings
{
    // The sizes a user may choose, in points.
    static constexpr int kLeastFontSize = 4;
    static constexpr int kLargestFontSize = 72;

    std::int16_t fontSize = 8;
    bool bold = true;
    bool footer = true;
    PrintLayout layout = PrintLayout::Lines;

    bool operator==(const PrintSettings&) const = default;
};

} // namespace quillmap
