#pragma once

#include <QString>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

class LineFormat;

// The nodes of the tree view: a compact intrusive tree (parent, first child, last child, next
// sibling) over one byte arena, because a scan can add millions of nodes.
//
// Contract:
// - Ids are dense, 0-based, in the order nodes were added; id 0 is "item 1" of the node
//   collection. `npos` stands for "no node".
// - Texts and keys are raw bytes (file names on Linux are bytes); displayText() shows bytes that
//   are not UTF-8 as U+FFFD.
// - Keys are unique. A node's key is stored relative to its parent's key where it can be (a
//   folder's key is parent key + name + "/", a file's parent key + name, where the name is the
//   start of the text), so keys cost next to nothing.
// - A node added with appendLine() keeps no text: its line is made from its name and details by
//   the store's LineFormat whenever text() is asked for.
// - Not thread-safe; one writer at a time, no readers while it writes. find() counts as a
//   writer: it may bring the key index up to date.
class NodeStore
{
public:
    using Id = std::uint32_t;
    static constexpr Id npos = std::numeric_limits<Id>::max();

    // A file's properties as data, beside the text that shows the ticked ones. Kept only for
    // nodes that have them (a file whose properties could be read), in a few bytes each.
    struct Details
    {
        std::optional<std::uint64_t> size;
        // Seconds since the epoch (UTC), whole seconds.
        std::optional<std::int64_t> created;
        std::optional<std::int64_t> accessed;
        std::optional<std::int64_t> modified;
        std::uint8_t attributes = 0; // the attribute value's bits (FileInfo's)

        bool operator==(const Details&) const = default;
    };

    NodeStore();
    // A store moved from is empty.
    NodeStore(NodeStore&& other) noexcept;
    NodeStore& operator=(NodeStore&& other) noexcept;

    // Adds a node as the last child of `parent` (npos: a top-level node) with the given key and
    // text. Returns the new id, or npos when the key exists already or `parent` is not a node.
    Id add(Id parent, std::string_view key, std::string_view text,
           const Details* details = nullptr);
    // The scan's fast path: key = parent's key + name (+ "/" when `folder`), with no need to
    // build the full key. Same result as add() with that key.
    Id addChild(Id parent, std::string_view name, bool folder, std::string_view text,
                const Details* details = nullptr);
    // The same without looking for a clash, for a caller that knows the key is new (the names
    // of one folder listing, none holding "/"): the key index catches up only when a later
    // add() or find() needs it.
    Id appendChild(Id parent, std::string_view name, bool folder, std::string_view text,
                   const Details* details = nullptr);
    // The same for a file whose text is lineFormat()'s line of `name` and `details`, made each
    // time it is read; npos when no format is set.
    Id appendLine(Id parent, std::string_view name, const Details& details);

    // What makes the lines of appendLine()'s nodes; kept until clear().
    void setLineFormat(std::shared_ptr<const LineFormat> format);
    const std::shared_ptr<const LineFormat>& lineFormat() const { return m_lineFormat; }

    // Puts the children of `parent` in the order of `order`, which must hold each of them once
    // (nothing changes otherwise): a node added last can be moved to its place.
    void reorderChildren(Id parent, const std::vector<Id>& order);

    // Removes every node and the selection.
    void clear();

    std::size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    bool contains(Id id) const { return id < m_size; }

    // The node collection's item 1 (the first node added), or npos.
    Id item1() const { return m_size == 0 ? npos : 0; }
    Id selected() const { return m_selected; }
    void setSelected(Id id) { m_selected = contains(id) ? id : npos; }

    Id parent(Id id) const { return node(id).parent; }
    Id firstChild(Id id) const { return node(id).firstChild; }
    Id lastChild(Id id) const { return node(id).lastChild; }
    Id nextSibling(Id id) const { return node(id).nextSibling; }
    // Position among its siblings (0-based) and number of children; for the item model.
    std::uint32_t row(Id id) const { return node(id).row; }
    std::uint32_t childCount(Id id) const { return node(id).childCount; }
    // The top-level nodes, in the order they were added.
    Id firstTopLevel() const { return m_firstTop; }
    std::uint32_t topLevelCount() const { return m_topCount; }

    // A line made from a node's properties is in a buffer of the calling thread, one of four
    // used in turn: it stays valid until the fourth text() call after it on that thread.
    std::string_view text(Id id) const;
    // The same into `out` (replacing what it held): for writers that go through every node.
    void text(Id id, std::string& out) const;
    // The node's properties, or nothing when it was added without them.
    std::optional<Details> details(Id id) const;
    // The last part of the key: a scanned entry's name (without a folder's "/"); the whole key
    // of a node whose key does not continue its parent's (a top-level node).
    std::string_view name(Id id) const { return entry(id).keySuffix; }
    // Whether the key ends in "/", as a folder's does.
    bool isFolder(Id id) const;
    QString displayText(Id id) const { return displayString(text(id)); }
    std::string key(Id id) const;
    // The same into `out` (replacing what it held), without allocating once `out` is large
    // enough: for writers that go through every node.
    void key(Id id, std::string& out) const;
    // The tree view's full path: the texts from the top-level node down to this one, joined by
    // "/" (no separator is doubled where a text already ends in one).
    std::string fullPath(Id id) const;
    Id find(std::string_view key) const;
    // The node's name in its parent: what its key adds to the parent's key ("name/" for a
    // folder). False (nothing appended) when the key does not continue the parent's, as a
    // top-level node's doesn't.
    bool appendKeyTail(Id id, std::string& out) const;

    // The one pre-order walk every reader of the tree uses (the print engine and the listing
    // writers): calls enter(id, depth) for `first`, then for each node of its subtree in tree
    // order, and leave(id, depth) once a node's subtree is done; with `followSiblings` the same
    // for each following sibling of `first`. Depth 0 is `first`'s level. enter() returns false
    // to end the walk, and walk() then returns false. Needs no memory: it climbs by the parent
    // links, so any depth is walked.
    template <class Enter, class Leave>
    bool walk(Id first, bool followSiblings, Enter&& enter, Leave&& leave) const
    {
        if (first == npos)
            return true;
        Id id = first;
        std::uint32_t depth = 0;
        if (!enter(id, depth))
            return false;
        for (;;) {
            if (const Id child = firstChild(id); child != npos) {
                id = child;
                ++depth;
                if (!enter(id, depth))
                    return false;
                continue;
            }
            for (;;) {
                leave(id, depth);
                if (depth == 0 && !followSiblings)
                    return true;
                if (const Id next = nextSibling(id); next != npos) {
                    id = next;
                    if (!enter(id, depth))
                        return false;
                    break;
                }
                if (depth == 0)
                    return true;
                id = parent(id);
                --depth;
            }
        }
    }

    // Bytes held by the store itself (nodes, arena, index), for the memory figures.
    std::size_t memoryBytes() const;
    // Total length of the node texts kept as text, the part of memoryBytes() that no layout
    // can save (the lines made from properties are not counted).
    std::size_t textBytes() const { return m_textBytes; }

    // Bytes as display text: UTF-8, with every byte that is not part of valid UTF-8 as U+FFFD.
    static QString displayString(std::string_view bytes);

private:
    struct Node
    {
        Id parent;
        Id firstChild;
        Id lastChild;
        Id nextSibling;
        std::uint32_t row;
        std::uint32_t childCount;
        std::uint64_t arenaOffset; // header, text and (if not derived) the key suffix
    };

    struct Entry
    {
        std::string_view text;
        std::string_view keySuffix; // the key after the parent's key (all of it when absolute)
        bool folderSlash;           // a "/" follows keySuffix
        bool absolute;              // the key does not continue the parent's key
        bool composed;              // the text is made by the line format (text is empty)
        std::size_t keyLength;
        const char* details; // the encoded Details, or null
    };

    // Nodes and arena grow in fixed blocks, so growing never copies (and never doubles the
    // peak memory of) what is already there. A block is one huge page where the system gives
    // them on request (all but the first): a big scan then takes a page fault per 2 MiB instead
    // of one per 4 KiB.
    static constexpr unsigned kNodeBlockBits = 16;
    static constexpr std::size_t kBlockBytes = std::size_t(1) << 21;
    static_assert(sizeof(Node) << kNodeBlockBits == kBlockBytes);
    struct BlockFree
    {
        void operator()(void* p) const;
    };
    static void* allocBlock(std::size_t bytes, bool hugePages);

    const Node& node(Id id) const
    {
        return m_nodeBlocks[id >> kNodeBlockBits][id & ((1u << kNodeBlockBits) - 1)];
    }
    Node& node(Id id)
    {
        return m_nodeBlocks[id >> kNodeBlockBits][id & ((1u << kNodeBlockBits) - 1)];
    }
    Entry entry(Id id) const;
    bool keyEquals(Id id, std::string_view key) const;
    Id insert(Id parent, std::string_view suffix, bool folderSlash, bool absolute,
              std::string_view text, std::size_t keyLength, const Details* details,
              bool composed = false);
    void makeText(const Entry& e, std::string& out) const;
    Id findHashed(std::string_view key, std::uint64_t hash) const;
    char* arenaAlloc(std::size_t bytes, std::uint64_t& offset);
    void indexInsert(Id id, std::uint64_t hash) const;
    // Puts every node not yet in the key index into it, with its key's hash.
    void catchUpIndex() const;

    std::vector<std::unique_ptr<Node[], BlockFree>> m_nodeBlocks;
    std::size_t m_size = 0;
    std::vector<std::unique_ptr<char[], BlockFree>> m_arenaBlocks;
    std::vector<std::size_t> m_arenaBlockSizes;
    std::size_t m_arenaUsed = 0; // in the last block
    // Open addressing on the key hashes, capacity a power of two; holds the nodes below
    // m_indexed. The hashes (FNV-1a of the whole key, chained from the parent's) are made only
    // with the index, so a store that is never searched by key spends nothing on either.
    mutable std::vector<Id> m_index;
    mutable std::vector<std::uint64_t> m_hashes; // one for each node below m_indexed
    mutable std::size_t m_indexed = 0;
    std::size_t m_textBytes = 0;
    Id m_selected = npos;
    Id m_firstTop = npos;
    Id m_lastTop = npos;
    std::uint32_t m_topCount = 0;
    std::shared_ptr<const LineFormat> m_lineFormat;
};

} // namespace quillmap
