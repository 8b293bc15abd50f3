#include "scan/TreeComparison.h"

#include "platform/files/FolderListing.h"

#include <string>

namespace quillmap {

using Id = NodeStore::Id;
constexpr Id npos = NodeStore::npos;

namespace {

bool isFolderTail(std::string_view tail)
{
    return !tail.empty() && tail.back() == '/';
}

// A file differs when its size or last-modified date does, or when only one side could be read.
bool fileChanged(const NodeStore& saved, Id s, const NodeStore& current, Id c)
{
    const auto a = saved.details(s);
    const auto b = current.details(c);
    if (!a || !b)
        return a.has_value() != b.has_value();
    return a->size != b->size || a->modified != b->modified;
}

// The node's tail (its name, "name/" for a folder), or its whole key where the key does not
// continue its parent's.
void tailOf(const NodeStore& store, Id id, std::string& out)
{
    out.clear();
    if (!store.appendKeyTail(id, out))
        out = store.key(id);
}

struct Frame
{
    Id current; // npos: this folder is only in the saved listing
    Id saved;   // npos: only in the current tree
    Id merged;
    std::string savedKey;                    // the saved folder's key, for finding its children
    std::vector<std::pair<Id, Id>> children; // (current, saved) in merged order
    std::size_t next = 0;
};

} // namespace

bool TreeComparison::Summary::anyChange() const
{
    for (int i = 1; i < 4; ++i)
        if (files[i] != 0 || folders[i] != 0)
            return true;
    return false;
}

std::string_view TreeComparison::symbol(NodeChange change)
{
    switch (change) {
    case NodeChange::Added:
        return "+";
    case NodeChange::Removed:
        return "-";
    case NodeChange::Changed:
        return "~";
    case NodeChange::Same:
        break;
    }
    return "=";
}

void TreeComparison::compare(const NodeStore& saved, const NodeStore& current, NodeStore& merged,
                             Options options)
{
    // Marks of folders are known only once their subtree is, so marked texts and the
    // changed-only view are made from a full comparison in a second pass.
    const bool twoPasses = options.onlyChanges || options.markTexts;
    NodeStore full;
    NodeStore& out = twoPasses ? full : merged;
    merged.clear();
    m_changes.clear();
    m_summary = Summary{};
    std::vector<bool> folder;

    std::vector<bool> savedMatched(saved.size(), false);
    std::vector<Id> match; // per child of the folder being opened: its saved counterpart
    std::string tail, key;

    // The children of a folder in merged order: the current ones in their order, each removed
    // one right after the saved sibling it followed.
    const auto open = [&](Frame& f) {
        match.clear();
        if (f.current != npos)
            for (Id c = current.firstChild(f.current); c != npos; c = current.nextSibling(c)) {
                Id s = npos;
                tail.clear();
                if (f.saved != npos && current.appendKeyTail(c, tail)) {
                    key.assign(f.savedKey).append(tail);
                    s = saved.find(key);
                    if (s != npos && (saved.parent(s) != f.saved || savedMatched[s]))
                        s = npos;
                    if (s != npos)
                        savedMatched[s] = true;
                }
                match.push_back(s);
            }
        // Both lists come in the listing's order (folders, then files, each by name), so a
        // merge in that order puts each removed node where it was. Lists in another order
        // still give every node once.
        std::string savedTail;
        const auto savedFirst = [&](Id s, Id c) {
            savedTail.clear();
            tail.clear();
            if (!saved.appendKeyTail(s, savedTail) || !current.appendKeyTail(c, tail))
                return false;
            const bool savedFolder = isFolderTail(savedTail), currentFolder = isFolderTail(tail);
            if (savedFolder != currentFolder)
                return savedFolder;
            // Names without a folder's "/", which would sort "a/" after "a-/".
            const std::string_view a(savedTail.data(), savedTail.size() - savedFolder);
            const std::string_view b(tail.data(), tail.size() - currentFolder);
            return FolderListing::nameLess(a, b);
        };
        Id s = f.saved != npos ? saved.firstChild(f.saved) : npos;
        Id c = f.current != npos ? current.firstChild(f.current) : npos;
        for (std::size_t i = 0;;) {
            while (s != npos && savedMatched[s])
                s = saved.nextSibling(s); // comes with its current counterpart
            if (c == npos && s == npos)
                break;
            if (c == npos || (s != npos && savedFirst(s, c))) {
                f.children.emplace_back(npos, s);
                s = saved.nextSibling(s);
            } else {
                f.children.emplace_back(c, match[i++]);
                c = current.nextSibling(c);
            }
        }
    };

    const Id currentRoot = current.firstTopLevel();
    const Id savedRoot = saved.firstTopLevel();
    if (currentRoot == npos && savedRoot == npos)
        return;
    {
        const NodeStore& src = currentRoot != npos ? current : saved;
        const Id id = currentRoot != npos ? currentRoot : savedRoot;
        const auto d = src.details(id);
        out.add(npos, src.key(id), src.text(id), d ? &*d : nullptr);
        m_changes.push_back(currentRoot == npos ? NodeChange::Removed
                            : savedRoot == npos ? NodeChange::Added
                                                : NodeChange::Same);
        folder.push_back(true);
    }
    std::vector<Frame> stack;
    stack.push_back(Frame{currentRoot,
                          savedRoot,
                          0,
                          savedRoot != npos ? saved.key(savedRoot) : std::string(),
                          {},
                          0});
    open(stack.back());

    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.children.size()) {
            stack.pop_back();
            continue;
        }
        const auto [c, s] = f.children[f.next++];
        const NodeStore& src = c != npos ? current : saved;
        const Id id = c != npos ? c : s;
        tailOf(src, id, tail);
        const bool isFolder = isFolderTail(tail);
        NodeChange change = c == npos   ? NodeChange::Removed
                            : s == npos ? NodeChange::Added
                                        : NodeChange::Same;
        if (change == NodeChange::Same && !isFolder && fileChanged(saved, s, current, c))
            change = NodeChange::Changed;
        const auto d = src.details(id);
        std::string_view name = tail;
        if (isFolder)
            name.remove_suffix(1);
        Id m = out.addChild(f.merged, name, isFolder, src.text(id), d ? &*d : nullptr);
        if (m == npos) // a key of its own (not its parent's plus a name), kept as it is
            m = out.add(f.merged, tail, src.text(id), d ? &*d : nullptr);
        if (m == npos)
            continue;
        m_changes.push_back(change);
        folder.push_back(isFolder);

        if (!isFolder) {
            const std::uint64_t now = c != npos && d && d->size ? *d->size : 0;
            std::uint64_t before = 0;
            if (s != npos)
                if (const auto old = saved.details(s); old && old->size)
                    before = *old->size;
            if (now > before)
                m_summary.bytesAdded += now - before;
            else
                m_summary.bytesRemoved += before - now;
        }
        const bool hasChildren = (c != npos && current.firstChild(c) != npos) ||
                                 (s != npos && saved.firstChild(s) != npos);
        if (hasChildren) {
            Frame child{c, s, m, {}, {}, 0};
            if (s != npos)
                child.savedKey = f.savedKey + tail; // f is still valid: nothing pushed yet
            stack.push_back(std::move(child));
            open(stack.back());
        }
    }

    // A folder with anything different below it is changed; children come after parents.
    for (Id id = Id(m_changes.size()); id-- > 1;)
        if (m_changes[id] != NodeChange::Same) {
            const Id p = out.parent(id);
            if (m_changes[p] == NodeChange::Same)
                m_changes[p] = NodeChange::Changed;
        }
    for (Id id = 1; id < m_changes.size(); ++id)
        ++(folder[id] ? m_summary.folders : m_summary.files)[std::size_t(m_changes[id])];

    if (!twoPasses)
        return;
    std::vector<NodeChange> kept;
    std::vector<Id> mapped(full.size(), npos);
    std::string text;
    for (Id id = 0; id < full.size(); ++id) {
        const NodeChange change = m_changes[id];
        const Id p = full.parent(id);
        if (p != npos && (mapped[p] == npos || (options.onlyChanges && change == NodeChange::Same)))
            continue;
        text.clear();
        if (options.markTexts)
            text.append(symbol(change)).push_back(' ');
        text.append(full.text(id));
        const auto d = full.details(id);
        Id m = npos;
        if (p == npos) {
            m = merged.add(npos, full.key(id), text, d ? &*d : nullptr);
        } else {
            tailOf(full, id, tail);
            const bool isFolder = isFolderTail(tail);
            std::string_view name = tail;
            if (isFolder)
                name.remove_suffix(1);
            m = merged.addChild(mapped[p], name, isFolder, text, d ? &*d : nullptr);
            if (m == npos)
                m = merged.add(mapped[p], tail, text, d ? &*d : nullptr);
        }
        mapped[id] = m;
        if (m != npos)
            kept.push_back(change);
    }
    m_changes = std::move(kept);
}

} // namespace quillmap
