#include "listing/TreeComparison.h"

#include "support/NameOrder.h"

#include <algorithm>
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
// A listing that keeps no dates (an ncdu export made without them) is compared by size.
bool fileChanged(const NodeStore& saved, Id s, const NodeStore& current, Id c)
{
    const auto a = saved.details(s);
    const auto b = current.details(c);
    if (!a || !b)
        return a.has_value() != b.has_value();
    return a->size != b->size || (a->modified && b->modified && *a->modified != *b->modified);
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
    std::vector<Id> placed;                  // where they went in the result
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

namespace {

// Goes through the comparison of `current` with `saved` in tree order: the root, then each
// folder's children in merged order (the current ones in their order, each removed one right
// after the saved sibling it followed), each folder's subtree before its next sibling.
// place(parent, c, s, tail, isFolder) puts node c of `current` (npos: node s of `saved`, which
// was removed) into the result below `parent` (npos: the root) and returns its id there, or
// npos to leave it and its subtree out; s is its saved counterpart or npos (added). closed(id,
// children) follows once a folder's children are all placed, in merged order.
template <class Place, class Closed>
void walkMerged(const NodeStore& saved, const NodeStore& current, Place&& place, Closed&& closed)
{
    std::vector<bool> savedMatched(saved.size(), false);
    std::vector<Id> match; // per child of the folder being opened: its saved counterpart
    std::string tail, key;

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
            return NameLess(a, b);
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
    const Id root = place(npos, currentRoot, savedRoot, std::string_view(), true);
    std::vector<Frame> stack;
    stack.push_back(Frame{currentRoot,
                          savedRoot,
                          root,
                          savedRoot != npos ? saved.key(savedRoot) : std::string(),
                          {},
                          {},
                          0});
    open(stack.back());

    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.children.size()) {
            closed(f.merged, f.placed);
            stack.pop_back();
            continue;
        }
        const auto [c, s] = f.children[f.next++];
        tailOf(c != npos ? current : saved, c != npos ? c : s, tail);
        const bool isFolder = isFolderTail(tail);
        const Id m = place(f.merged, c, s, tail, isFolder);
        if (m == npos)
            continue;
        f.placed.push_back(m);
        const bool hasChildren = (c != npos && current.firstChild(c) != npos) ||
                                 (s != npos && saved.firstChild(s) != npos);
        if (hasChildren) {
            Frame child{c, s, m, {}, {}, {}, 0};
            if (s != npos)
                child.savedKey = f.savedKey + tail; // f is still valid: nothing pushed yet
            stack.push_back(std::move(child));
            open(stack.back());
        }
    }
}

} // namespace

void TreeComparison::note(Id id, Id c, Id s, const NodeStore& saved, const NodeStore& current,
                          bool isFolder)
{
    NodeChange change = c == npos   ? NodeChange::Removed
                        : s == npos ? NodeChange::Added
                                    : NodeChange::Same;
    if (change == NodeChange::Same && !isFolder && fileChanged(saved, s, current, c))
        change = NodeChange::Changed;
    if (m_changes.size() <= id) {
        m_changes.resize(id + 1, NodeChange::Same);
        m_folder.resize(id + 1, false);
    }
    m_changes[id] = change;
    m_folder[id] = isFolder;
    if (!isFolder) {
        std::uint64_t now = 0, before = 0;
        if (c != npos)
            if (const auto d = current.details(c); d && d->size)
                now = *d->size;
        if (s != npos)
            if (const auto old = saved.details(s); old && old->size)
                before = *old->size;
        // Sizes from a listing file may be anything: a sum past the largest stays there.
        std::uint64_t& sum = now > before ? m_summary.bytesAdded : m_summary.bytesRemoved;
        if (__builtin_add_overflow(sum, now > before ? now - before : before - now, &sum))
            sum = UINT64_MAX;
    }
}

void TreeComparison::finish(const NodeStore& result)
{
    // A folder with anything different below it is changed; children come after parents.
    for (Id id = Id(m_changes.size()); id-- > 1;)
        if (m_changes[id] != NodeChange::Same) {
            const Id p = result.parent(id);
            if (p != npos && m_changes[p] == NodeChange::Same)
                m_changes[p] = NodeChange::Changed;
        }
    const Id root = result.firstTopLevel();
    for (Id id = 0; id < m_changes.size(); ++id)
        if (id != root)
            ++(m_folder[id] ? m_summary.folders : m_summary.files)[std::size_t(m_changes[id])];
    m_folder = {};
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
    m_folder.clear();
    m_summary = Summary{};

    walkMerged(
        saved, current,
        [&](Id parent, Id c, Id s, std::string_view tail, bool isFolder) {
            const NodeStore& src = c != npos ? current : saved;
            const Id id = c != npos ? c : s;
            const auto d = src.details(id);
            Id m = npos;
            if (parent == npos) {
                m = out.add(npos, src.key(id), src.text(id), d ? &*d : nullptr);
                note(m, c, s, saved, current, true);
                return m;
            }
            std::string_view name = tail;
            if (isFolder)
                name.remove_suffix(1);
            m = out.addChild(parent, name, isFolder, src.text(id), d ? &*d : nullptr);
            if (m == npos) // a key of its own (not its parent's plus a name), kept as it is
                m = out.add(parent, tail, src.text(id), d ? &*d : nullptr);
            if (m != npos)
                note(m, c, s, saved, current, isFolder);
            return m;
        },
        [](Id, const std::vector<Id>&) {});
    finish(out);

    if (twoPasses)
        m_changes = copy(full, m_changes, merged, options);
}

void TreeComparison::compareInPlace(const NodeStore& saved, NodeStore& current)
{
    m_changes.clear();
    m_folder.clear();
    m_summary = Summary{};
    m_changes.reserve(current.size());
    m_folder.reserve(current.size());
    std::vector<bool> grew; // by folder: a removed node was added at its end
    walkMerged(
        saved, current,
        [&](Id parent, Id c, Id s, std::string_view tail, bool isFolder) {
            Id m = c;
            if (c == npos) {
                // Removed: added at the end of its folder, put at its place once that is done.
                const auto d = saved.details(s);
                if (parent == npos) {
                    m = current.add(npos, saved.key(s), saved.text(s), d ? &*d : nullptr);
                } else {
                    std::string_view name = tail;
                    if (isFolder)
                        name.remove_suffix(1);
                    m = current.addChild(parent, name, isFolder, saved.text(s), d ? &*d : nullptr);
                    if (m == npos)
                        m = current.add(parent, tail, saved.text(s), d ? &*d : nullptr);
                    if (m != npos) {
                        grew.resize(std::max<std::size_t>(grew.size(), parent + 1));
                        grew[parent] = true;
                    }
                }
            }
            if (m != npos)
                note(m, c, s, saved, current, parent == npos || isFolder);
            return m;
        },
        [&](Id folder, const std::vector<Id>& children) {
            if (folder < grew.size() && grew[folder])
                current.reorderChildren(folder, children);
        });
    finish(current);
}

std::vector<NodeChange> TreeComparison::copy(const NodeStore& from,
                                             const std::vector<NodeChange>& changes, NodeStore& to,
                                             Options options)
{
    // In tree order, which is the order of ids in a store the comparison built, not in one it
    // added removed nodes to.
    to.clear();
    std::vector<NodeChange> kept;
    std::vector<Id> mapped(from.size(), npos);
    std::string text, tail;
    from.walk(
        from.firstTopLevel(), true,
        [&](Id id, std::uint32_t) {
            const NodeChange change = id < changes.size() ? changes[id] : NodeChange::Same;
            const Id p = from.parent(id);
            if (p != npos &&
                (mapped[p] == npos || (options.onlyChanges && change == NodeChange::Same) ||
                 (options.withoutRemoved && change == NodeChange::Removed)))
                return true;
            text.clear();
            if (options.markTexts)
                text.append(symbol(change)).push_back(' ');
            text.append(from.text(id));
            const auto d = from.details(id);
            Id m = npos;
            if (p == npos) {
                m = to.add(npos, from.key(id), text, d ? &*d : nullptr);
            } else {
                tailOf(from, id, tail);
                const bool isFolder = isFolderTail(tail);
                std::string_view name = tail;
                if (isFolder)
                    name.remove_suffix(1);
                m = to.addChild(mapped[p], name, isFolder, text, d ? &*d : nullptr);
                if (m == npos)
                    m = to.add(mapped[p], tail, text, d ? &*d : nullptr);
            }
            mapped[id] = m;
            if (m != npos)
                kept.push_back(change);
            return true;
        },
        [](Id, std::uint32_t) {});
    return kept;
}

} // namespace quillmap
