#include "listing/TreeSort.h"

#include "listing/FolderTotals.h"
#include "support/NameOrder.h"
#include "tree/NodeStore.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace quillmap {

namespace {

using Id = NodeStore::Id;

// The key's value of a node, where it has one; a lower value comes first.
std::optional<std::int64_t> valueOf(const NodeStore& tree, const FolderTotals* totals, Id id,
                                    bool folder, SortKey key)
{
    if (folder) {
        switch (key) {
        case SortKey::Size:
            return std::int64_t(std::min<std::uint64_t>(totals->size(id), INT64_MAX));
        case SortKey::Files:
            return std::int64_t(totals->files(id));
        case SortKey::Folders:
            return std::int64_t(totals->folders(id));
        default:
            return std::nullopt;
        }
    }
    const auto details = tree.details(id);
    if (!details)
        return std::nullopt;
    switch (key) {
    case SortKey::Size:
        if (details->size)
            return std::int64_t(std::min<std::uint64_t>(*details->size, INT64_MAX));
        return std::nullopt;
    case SortKey::Created:
        return details->created;
    case SortKey::Accessed:
        return details->accessed;
    case SortKey::Modified:
        return details->modified;
    case SortKey::Attributes:
        return details->attributes;
    default:
        return std::nullopt;
    }
}

} // namespace

std::string_view FileTypeOf(std::string_view name)
{
    const std::size_t dot = name.find('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

void SortTree(NodeStore& tree, SortOrder order)
{
    const bool needTotals =
        order.key == SortKey::Size || order.key == SortKey::Files || order.key == SortKey::Folders;
    const std::unique_ptr<FolderTotals> totals =
        needTotals ? std::make_unique<FolderTotals>(tree) : nullptr;

    struct Child
    {
        Id id;
        bool folder;
        std::optional<std::int64_t> value;
        std::string_view name;
    };
    std::vector<Child> children;
    std::vector<Id> ids;
    const auto before = [&](const Child& a, const Child& b) {
        if (a.folder != b.folder)
            return a.folder;
        if (order.key == SortKey::Type && !a.folder) {
            const std::string_view ta = FileTypeOf(a.name), tb = FileTypeOf(b.name);
            if (ta.empty() != tb.empty())
                return tb.empty();
            if (NameLess(ta, tb) || NameLess(tb, ta))
                return order.reverse ? NameLess(tb, ta) : NameLess(ta, tb);
        } else if (a.value != b.value) {
            if (!a.value || !b.value)
                return a.value.has_value();
            return order.reverse ? *a.value > *b.value : *a.value < *b.value;
        }
        if (order.key == SortKey::Name && order.reverse)
            return NameLess(b.name, a.name);
        return NameLess(a.name, b.name);
    };

    for (Id parent = 0; parent < tree.size(); ++parent) {
        if (tree.childCount(parent) < 2)
            continue;
        children.clear();
        for (Id c = tree.firstChild(parent); c != NodeStore::npos; c = tree.nextSibling(c)) {
            const bool folder = tree.isFolder(c);
            children.push_back(
                {c, folder, valueOf(tree, totals.get(), c, folder, order.key), tree.name(c)});
        }
        std::stable_sort(children.begin(), children.end(), before);
        ids.clear();
        for (const Child& child : children)
            ids.push_back(child.id);
        tree.reorderChildren(parent, ids);
    }
}

} // namespace quillmap
