#pragma once

#include <cstdint>
#include <string_view>

namespace quillmap {

// How a node of a compared tree differs from the saved listing it was compared with.
enum class NodeChange : std::uint8_t
{
    Same,
    Added,
    Removed,
    Changed // a file's size or last-modified date, or anything below a folder
};

// The word for a change in every output: "same", "added", "removed", "changed".
constexpr std::string_view ChangeWord(NodeChange c)
{
    switch (c) {
    case NodeChange::Added:
        return "added";
    case NodeChange::Removed:
        return "removed";
    case NodeChange::Changed:
        return "changed";
    case NodeChange::Same:
        break;
    }
    return "same";
}

} // namespace quillmap
