// The node store in one file: nodes, arena, key index and the lines made on demand share one
// memory layout, kept together so that it is changed in one place.
#include "tree/NodeStore.h"

#include "tree/LineFormat.h"

#include <QStringDecoder>

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace quillmap {

namespace {

constexpr std::uint64_t kFnvBasis = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t fnv(std::uint64_t h, std::string_view bytes)
{
    for (unsigned char c : bytes)
        h = (h ^ c) * kFnvPrime;
    return h;
}

std::uint64_t fnvSlash(std::uint64_t h)
{
    return (h ^ '/') * kFnvPrime;
}

enum : unsigned char
{
    kDerived = 1,
    kFolderSlash = 2,
    kAbsolute = 4,
    kDetails = 8,
    kComposed = 16
};

// Which of the Details' optional values are present.
enum : unsigned char
{
    kHasSize = 1,
    kHasCreated = 2,
    kHasAccessed = 4,
    kHasModified = 8
};

char* putVarint(char* p, std::size_t v)
{
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char* getVarint(const char* p, std::size_t& v)
{
    v = 0;
    unsigned shift = 0;
    for (;;) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= std::size_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return p;
        shift += 7;
    }
}

constexpr std::size_t kMaxVarint = 10;
constexpr std::size_t kMaxDetails = 2 + 4 * kMaxVarint;

std::uint64_t zigzag(std::int64_t v)
{
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

std::int64_t unzigzag(std::uint64_t v)
{
    return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

// A time as the difference from the modification time where there is one: the three are
// often equal or close, and a small difference takes one or two bytes instead of five.
std::uint64_t timeCode(std::int64_t t, const std::optional<std::int64_t>& base)
{
    return zigzag(base ? static_cast<std::int64_t>(static_cast<std::uint64_t>(t) -
                                                   static_cast<std::uint64_t>(*base))
                       : t);
}

std::int64_t timeFromCode(std::uint64_t code, const std::optional<std::int64_t>& base)
{
    const std::int64_t v = unzigzag(code);
    return base ? static_cast<std::int64_t>(static_cast<std::uint64_t>(*base) +
                                            static_cast<std::uint64_t>(v))
                : v;
}

char* putDetails(char* p, const NodeStore::Details& d)
{
    char* mask = p++;
    *mask = 0;
    *p++ = static_cast<char>(d.attributes);
    if (d.size) {
        *mask |= kHasSize;
        p = putVarint(p, *d.size);
    }
    if (d.modified) {
        *mask |= kHasModified;
        p = putVarint(p, zigzag(*d.modified));
    }
    const std::pair<const std::optional<std::int64_t>*, unsigned char> times[] = {
        {&d.created, kHasCreated}, {&d.accessed, kHasAccessed}};
    for (const auto& [t, bit] : times)
        if (*t) {
            *mask |= bit;
            p = putVarint(p, timeCode(**t, d.modified));
        }
    return p;
}

std::optional<NodeStore::Details> decodeDetails(const char* p)
{
    if (!p)
        return std::nullopt;
    const auto mask = static_cast<unsigned char>(*p++);
    NodeStore::Details d;
    d.attributes = static_cast<std::uint8_t>(*p++);
    std::size_t v = 0;
    if (mask & kHasSize) {
        p = getVarint(p, v);
        d.size = v;
    }
    if (mask & kHasModified) {
        p = getVarint(p, v);
        d.modified = unzigzag(v);
    }
    const std::pair<std::optional<std::int64_t>*, unsigned char> times[] = {
        {&d.created, kHasCreated}, {&d.accessed, kHasAccessed}};
    for (const auto& [t, bit] : times)
        if (mask & bit) {
            p = getVarint(p, v);
            *t = timeFromCode(v, d.modified);
        }
    return d;
}

} // namespace

NodeStore::NodeStore() = default;

NodeStore::NodeStore(NodeStore&& other) noexcept
{
    *this = std::move(other);
}

NodeStore& NodeStore::operator=(NodeStore&& other) noexcept
{
    if (this == &other)
        return *this;
    m_nodeBlocks = std::move(other.m_nodeBlocks);
    m_size = other.m_size;
    m_arenaBlocks = std::move(other.m_arenaBlocks);
    m_arenaBlockSizes = std::move(other.m_arenaBlockSizes);
    m_arenaUsed = other.m_arenaUsed;
    m_index = std::move(other.m_index);
    m_hashes = std::move(other.m_hashes);
    m_indexed = other.m_indexed;
    m_textBytes = other.m_textBytes;
    m_selected = other.m_selected;
    m_firstTop = other.m_firstTop;
    m_lastTop = other.m_lastTop;
    m_topCount = other.m_topCount;
    m_lineFormat = std::move(other.m_lineFormat);
    other.clear();
    return *this;
}

void NodeStore::BlockFree::operator()(void* p) const
{
    std::free(p);
}

void* NodeStore::allocBlock(std::size_t bytes, bool hugePages)
{
    // Untouched pages cost no memory. The first block of each kind keeps small pages, so a
    // small store stays small; later ones ask for huge pages.
    void* p = std::aligned_alloc(kBlockBytes, bytes);
    if (!p)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    if (hugePages)
        ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return p;
}

void NodeStore::clear()
{
    m_nodeBlocks.clear();
    m_size = 0;
    m_arenaBlocks.clear();
    m_arenaBlockSizes.clear();
    m_arenaUsed = 0;
    std::vector<Id>().swap(m_index);
    std::vector<std::uint64_t>().swap(m_hashes);
    m_indexed = 0;
    m_textBytes = 0;
    m_selected = npos;
    m_firstTop = m_lastTop = npos;
    m_topCount = 0;
    m_lineFormat.reset();
}

void NodeStore::setLineFormat(std::shared_ptr<const LineFormat> format)
{
    m_lineFormat = std::move(format);
}

char* NodeStore::arenaAlloc(std::size_t bytes, std::uint64_t& offset)
{
    if (m_arenaBlocks.empty() || m_arenaUsed + bytes > m_arenaBlockSizes.back()) {
        const std::size_t size = (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        m_arenaBlocks.emplace_back(static_cast<char*>(allocBlock(size, !m_arenaBlocks.empty())));
        m_arenaBlockSizes.push_back(size);
        m_arenaUsed = 0;
    }
    offset = (std::uint64_t(m_arenaBlocks.size() - 1) << 32) | m_arenaUsed;
    char* p = m_arenaBlocks.back().get() + m_arenaUsed;
    m_arenaUsed += bytes;
    return p;
}

NodeStore::Entry NodeStore::entry(Id id) const
{
    const std::uint64_t off = node(id).arenaOffset;
    const char* p = m_arenaBlocks[off >> 32].get() + (off & 0xFFFFFFFFu);
    const auto flags = static_cast<unsigned char>(*p++);
    std::size_t textLen = 0, keyLen = 0, suffixLen = 0;
    p = getVarint(p, textLen);
    p = getVarint(p, keyLen);
    p = getVarint(p, suffixLen);
    Entry e;
    e.text = std::string_view(p, textLen);
    e.keySuffix = (flags & kDerived) ? std::string_view(p, suffixLen)
                                     : std::string_view(p + textLen, suffixLen);
    e.folderSlash = flags & kFolderSlash;
    e.absolute = flags & kAbsolute;
    e.composed = flags & kComposed;
    e.keyLength = keyLen;
    e.details = (flags & kDetails) ? p + textLen + ((flags & kDerived) ? 0 : suffixLen) : nullptr;
    return e;
}

std::string_view NodeStore::text(Id id) const
{
    const Entry e = entry(id);
    if (!e.composed)
        return e.text;
    // Buffers of this thread, used in turn, so that a caller may hold a few lines at once.
    thread_local std::array<std::string, 4> lines;
    thread_local std::size_t next = 0;
    std::string& out = lines[next++ % lines.size()];
    makeText(e, out);
    return out;
}

void NodeStore::text(Id id, std::string& out) const
{
    const Entry e = entry(id);
    if (e.composed)
        makeText(e, out);
    else
        out.assign(e.text);
}

std::optional<NodeStore::Details> NodeStore::details(Id id) const
{
    return decodeDetails(entry(id).details);
}

void NodeStore::makeText(const Entry& e, std::string& out) const
{
    const std::optional<Details> d = decodeDetails(e.details);
    if (m_lineFormat && d)
        m_lineFormat->makeLine(out, e.keySuffix, *d);
    else
        out.assign(e.keySuffix);
}

bool NodeStore::isFolder(Id id) const
{
    const Entry e = entry(id);
    return e.folderSlash || (!e.keySuffix.empty() && e.keySuffix.back() == '/');
}

std::string NodeStore::key(Id id) const
{
    std::string out;
    key(id, out);
    return out;
}

void NodeStore::key(Id id, std::string& out) const
{
    // Written from its end to its start, one node's suffix at a time, up to an absolute key.
    Entry e = entry(id);
    out.resize(e.keyLength);
    std::size_t end = out.size();
    for (Id n = id;;) {
        if (e.folderSlash)
            out[--end] = '/';
        end -= e.keySuffix.size();
        std::memcpy(out.data() + end, e.keySuffix.data(), e.keySuffix.size());
        if (e.absolute || end == 0)
            break;
        n = node(n).parent;
        if (n == npos)
            break;
        e = entry(n);
    }
    if (end != 0) // not expected: a key longer than its parts; keep what was written
        out.erase(0, end);
}

bool NodeStore::keyEquals(Id id, std::string_view key) const
{
    // Compare from the end of the key towards its start, one node's suffix at a time.
    for (Id n = id;;) {
        const Entry e = entry(n);
        if (e.keyLength != key.size())
            return false;
        if (e.folderSlash) {
            if (key.empty() || key.back() != '/')
                return false;
            key.remove_suffix(1);
        }
        if (key.size() < e.keySuffix.size() ||
            key.substr(key.size() - e.keySuffix.size()) != e.keySuffix)
            return false;
        key.remove_suffix(e.keySuffix.size());
        if (e.absolute)
            return key.empty();
        n = node(n).parent;
        if (n == npos)
            return key.empty();
    }
}

bool NodeStore::appendKeyTail(Id id, std::string& out) const
{
    const Entry e = entry(id);
    if (e.absolute)
        return false;
    out.append(e.keySuffix);
    if (e.folderSlash)
        out.push_back('/');
    return true;
}

std::string NodeStore::fullPath(Id id) const
{
    std::vector<std::string_view> texts;
    for (Id n = id; n != npos; n = node(n).parent)
        texts.push_back(entry(n).text);
    std::string out;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
        if (!out.empty() && out.back() != '/')
            out.push_back('/');
        out.append(*it);
    }
    return out;
}

NodeStore::Id NodeStore::findHashed(std::string_view key, std::uint64_t hash) const
{
    catchUpIndex();
    if (m_index.empty())
        return npos;
    const std::size_t mask = m_index.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Id id = m_index[slot];
        if (id == npos)
            return npos;
        if (m_hashes[id] == hash && keyEquals(id, key))
            return id;
    }
}

NodeStore::Id NodeStore::find(std::string_view key) const
{
    return findHashed(key, fnv(kFnvBasis, key));
}

void NodeStore::indexInsert(Id id, std::uint64_t hash) const
{
    const std::size_t mask = m_index.size() - 1;
    std::size_t slot = hash & mask;
    while (m_index[slot] != npos)
        slot = (slot + 1) & mask;
    m_index[slot] = id;
}

void NodeStore::catchUpIndex() const
{
    if (m_indexed == m_size)
        return;
    // Room for one more node than there is, so the add that follows needs no rehash.
    if ((m_size + 1) * 10 > m_index.size() * 7) {
        std::size_t capacity = std::max<std::size_t>(1024, m_index.size());
        while ((m_size + 1) * 10 > capacity * 7)
            capacity *= 2;
        std::vector<Id>(capacity, npos).swap(m_index);
        for (std::size_t id = 0; id < m_indexed; ++id)
            indexInsert(static_cast<Id>(id), m_hashes[id]);
    }
    m_hashes.reserve(m_index.size() * 7 / 10);
    // Parents come before their children, so a parent's hash is always there to chain from.
    for (; m_indexed < m_size; ++m_indexed) {
        const Id id = static_cast<Id>(m_indexed);
        const Entry e = entry(id);
        const Id parent = node(id).parent;
        std::uint64_t hash =
            fnv(e.absolute || parent == npos ? kFnvBasis : m_hashes[parent], e.keySuffix);
        if (e.folderSlash)
            hash = fnvSlash(hash);
        m_hashes.push_back(hash);
        indexInsert(id, hash);
    }
}

NodeStore::Id NodeStore::insert(Id parent, std::string_view suffix, bool folderSlash, bool absolute,
                                std::string_view text, std::size_t keyLength,
                                const Details* details, bool composed)
{
    if (m_size >= npos - 1)
        return npos;
    // A composed node keeps its name alone (as the key's suffix) and its details.
    const bool derived = !composed && text.substr(0, suffix.size()) == suffix;
    const std::size_t bytes = 1 + 3 * kMaxVarint + text.size() + (derived ? 0 : suffix.size()) +
                              (details ? kMaxDetails : 0);
    std::uint64_t offset = 0;
    char* start = arenaAlloc(bytes, offset);
    char* p = start;
    *p++ = static_cast<char>((derived ? kDerived : 0) | (folderSlash ? kFolderSlash : 0) |
                             (absolute ? kAbsolute : 0) | (details ? kDetails : 0) |
                             (composed ? kComposed : 0));
    p = putVarint(p, text.size());
    p = putVarint(p, keyLength);
    p = putVarint(p, suffix.size());
    if (!text.empty())
        std::memcpy(p, text.data(), text.size());
    p += text.size();
    if (!derived && !suffix.empty()) {
        std::memcpy(p, suffix.data(), suffix.size());
        p += suffix.size();
    }
    if (details)
        p = putDetails(p, *details);
    m_arenaUsed -= bytes - static_cast<std::size_t>(p - start); // give back unused varint room

    const Id id = static_cast<Id>(m_size);
    if ((id & ((1u << kNodeBlockBits) - 1)) == 0)
        m_nodeBlocks.emplace_back(static_cast<Node*>(allocBlock(kBlockBytes, id != 0)));
    ++m_size;
    Node& n = node(id);
    n = Node{parent, npos, npos, npos, 0, 0, offset};
    if (parent == npos) {
        n.row = m_topCount++;
        if (m_lastTop == npos)
            m_firstTop = id;
        else
            node(m_lastTop).nextSibling = id;
        m_lastTop = id;
    } else {
        Node& p = node(parent);
        n.row = p.childCount++;
        if (p.lastChild == npos)
            p.firstChild = id;
        else
            node(p.lastChild).nextSibling = id;
        p.lastChild = id;
    }
    m_textBytes += text.size();
    return id;
}

NodeStore::Id NodeStore::add(Id parent, std::string_view key, std::string_view text,
                             const Details* details)
{
    if (parent != npos && !contains(parent))
        return npos;
    const std::uint64_t hash = fnv(kFnvBasis, key);
    if (findHashed(key, hash) != npos)
        return npos;
    // Store the key relative to the parent's when it continues it, which is what a scan does.
    if (parent != npos) {
        const std::size_t parentLen = entry(parent).keyLength;
        if (key.size() > parentLen && keyEquals(parent, key.substr(0, parentLen))) {
            std::string_view suffix = key.substr(parentLen);
            const bool slash =
                suffix.size() > 1 && suffix.back() == '/' &&
                text.substr(0, suffix.size() - 1) == suffix.substr(0, suffix.size() - 1);
            if (slash)
                suffix.remove_suffix(1);
            return insert(parent, suffix, slash, false, text, key.size(), details);
        }
    }
    return insert(parent, key, false, true, text, key.size(), details);
}

NodeStore::Id NodeStore::addChild(Id parent, std::string_view name, bool folder,
                                  std::string_view text, const Details* details)
{
    if (!contains(parent) || name.empty())
        return npos;
    const std::size_t keyLength = entry(parent).keyLength + name.size() + (folder ? 1 : 0);
    // A clash is possible only with a node of the same hash; build the full key just then.
    catchUpIndex();
    std::uint64_t hash = fnv(m_hashes[parent], name);
    if (folder)
        hash = fnvSlash(hash);
    if (!m_index.empty()) {
        const std::size_t mask = m_index.size() - 1;
        for (std::size_t slot = hash & mask; m_index[slot] != npos; slot = (slot + 1) & mask) {
            const Id other = m_index[slot];
            if (m_hashes[other] != hash)
                continue;
            std::string full = key(parent);
            full.append(name);
            if (folder)
                full.push_back('/');
            if (keyEquals(other, full))
                return npos;
        }
    }
    return insert(parent, name, folder, false, text, keyLength, details);
}

NodeStore::Id NodeStore::appendChild(Id parent, std::string_view name, bool folder,
                                     std::string_view text, const Details* details)
{
    if (!contains(parent) || name.empty())
        return npos;
    const std::size_t keyLength = entry(parent).keyLength + name.size() + (folder ? 1 : 0);
    return insert(parent, name, folder, false, text, keyLength, details);
}

NodeStore::Id NodeStore::appendLine(Id parent, std::string_view name, const Details& details)
{
    if (!m_lineFormat || !contains(parent) || name.empty())
        return npos;
    const std::size_t keyLength = entry(parent).keyLength + name.size();
    return insert(parent, name, false, false, {}, keyLength, &details, true);
}

void NodeStore::reorderChildren(Id parent, const std::vector<Id>& order)
{
    if (!contains(parent) || order.size() != node(parent).childCount)
        return;
    std::vector<bool> seen(order.size(), false);
    for (const Id id : order) {
        if (!contains(id) || node(id).parent != parent || seen[node(id).row])
            return;
        seen[node(id).row] = true;
    }
    Node& p = node(parent);
    Id previous = npos;
    std::uint32_t row = 0;
    for (const Id id : order) {
        Node& n = node(id);
        n.row = row++;
        n.nextSibling = npos;
        if (previous == npos)
            p.firstChild = id;
        else
            node(previous).nextSibling = id;
        previous = id;
    }
    p.lastChild = previous;
}

std::size_t NodeStore::memoryBytes() const
{
    std::size_t bytes = m_nodeBlocks.size() * kBlockBytes;
    for (std::size_t s : m_arenaBlockSizes)
        bytes += s;
    bytes += m_index.capacity() * sizeof(Id) + m_hashes.capacity() * sizeof(std::uint64_t);
    bytes += m_nodeBlocks.capacity() * sizeof(void*) + m_arenaBlocks.capacity() * sizeof(void*) +
             m_arenaBlockSizes.capacity() * sizeof(std::size_t);
    return bytes;
}

QString NodeStore::displayString(std::string_view bytes)
{
    // QString::fromUtf8 already turns each invalid sequence into U+FFFD, but takes a leading
    // U+FEFF for a byte-order mark and drops it: in a name it is a character like any other.
    constexpr std::string_view kFeff = "\xEF\xBB\xBF";
    if (bytes.starts_with(kFeff)) {
        bytes.remove_prefix(kFeff.size());
        return QChar(0xFEFF) +
               QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace quillmap
