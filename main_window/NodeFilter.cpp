#include "main_window/NodeFilter.h"

#include <algorithm>

namespace quillmap {

using Id = NodeStore::Id;

NodeFilter::NodeFilter(const NodeStore& tree) : m_tree(tree) {}

namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Whether `name` holds `needle` (ASCII letters in lower case), ASCII letters compared without
// case.
bool holdsAscii(std::string_view name, std::string_view needle)
{
    if (needle.size() > name.size())
        return false;
    const char first = needle.front();
    const char firstUpper = first >= 'a' && first <= 'z' ? char(first - ('a' - 'A')) : first;
    const std::size_t last = name.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (name[i] != first && name[i] != firstUpper)
            continue;
        std::size_t k = 1;
        while (k < needle.size() && lowerAscii(name[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

} // namespace

void NodeFilter::foldOtherNames()
{
    m_otherNames.clear();
    for (Id id = 0; id < m_tree.size(); ++id)
        if (const std::string_view name = m_tree.name(id); !isAscii(name))
            m_otherNames.emplace_back(id,
                                      NodeStore::displayString(name).toCaseFolded().toStdString());
    m_folded = true;
}

std::size_t NodeFilter::apply(const QString& text)
{
    const std::size_t n = m_tree.size();
    if (!m_folded)
        foldOtherNames();
    m_state.assign(n, 0);
    m_rows.clear();
    m_matches = 0;
    std::string needle = text.toCaseFolded().toStdString();
    needle.erase(std::remove(needle.begin(), needle.end(), '\0'), needle.end());

    const auto mark = [this](Id id) {
        ++m_matches;
        m_state[id] |= kMatch | kShown;
        for (Id p = m_tree.parent(id); p != NodeStore::npos; p = m_tree.parent(p)) {
            m_state[p] |= kHasShownChild;
            if (m_state[p] & kShown)
                break;
            m_state[p] |= kShown;
        }
    };
    // One pass over the names. A text that is not ASCII once folded can only be in a name
    // that is not ASCII either, as an ASCII name folds to ASCII.
    const bool asciiNeedle = isAscii(needle);
    auto other = m_otherNames.cbegin();
    for (Id id = 0; id < n; ++id) {
        bool holds = false;
        if (other != m_otherNames.cend() && other->first == id)
            holds = (other++)->second.find(needle) != std::string::npos;
        else if (asciiNeedle)
            holds = needle.empty() || holdsAscii(m_tree.name(id), needle);
        if (holds)
            mark(id);
    }
    return m_matches;
}

const std::vector<Id>& NodeFilter::rowsOf(Id parent) const
{
    const auto found = m_rows.find(parent);
    if (found != m_rows.end())
        return found->second;
    if (m_rowOf.size() != m_tree.size())
        m_rowOf.assign(m_tree.size(), 0);
    std::vector<Id>& rows = m_rows[parent];
    const Id first = parent == NodeStore::npos ? m_tree.firstTopLevel() : m_tree.firstChild(parent);
    for (Id c = first; c != NodeStore::npos; c = m_tree.nextSibling(c))
        if (m_state[c] & kShown) {
            m_rowOf[c] = std::uint32_t(rows.size());
            rows.push_back(c);
        }
    return rows;
}

std::uint32_t NodeFilter::childCount(Id parent) const
{
    if (parent != NodeStore::npos && !(m_state[parent] & kHasShownChild))
        return 0;
    return std::uint32_t(rowsOf(parent).size());
}

Id NodeFilter::child(Id parent, std::uint32_t row) const
{
    if (parent != NodeStore::npos && !(m_state[parent] & kHasShownChild))
        return NodeStore::npos;
    const std::vector<Id>& rows = rowsOf(parent);
    return row < rows.size() ? rows[row] : NodeStore::npos;
}

std::uint32_t NodeFilter::row(Id id) const
{
    rowsOf(m_tree.parent(id));
    return m_rowOf[id];
}

std::size_t NodeFilter::memoryBytes() const
{
    std::size_t bytes = m_state.capacity() + m_rowOf.capacity() * sizeof(std::uint32_t) +
                        m_otherNames.capacity() * sizeof(m_otherNames[0]);
    for (const auto& name : m_otherNames)
        bytes += name.second.capacity();
    for (const auto& entry : m_rows)
        bytes += entry.second.capacity() * sizeof(Id);
    return bytes;
}

} // namespace quillmap
