#include "listing/TreeWriter.h"

#include "listing/FolderTotals.h"
#include "listing/SizeText.h"
#include "listing/TreeComparison.h"

#include "support/PlainBytes.h"
#include "support/Utf8Functions.h"

#include <charconv>
#include <vector>

namespace quillmap {

using Id = NodeStore::Id;

namespace {

constexpr PlainBytes kTsvPlain("\\");

} // namespace

void TreeWriter::appendTsvEscaped(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < s.size();) {
        i = kTsvPlain.copyRun(out, s, i);
        if (i == s.size())
            break;
        const char c = s[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            ++i;
            continue;
        case '\t':
            out += "\\t";
            ++i;
            continue;
        case '\n':
            out += "\\n";
            ++i;
            continue;
        case '\r':
            out += "\\r";
            ++i;
            continue;
        default:
            break;
        }
        const std::size_t len = Utf8Functions::SequenceLength(s, i);
        // Every other control character too, so no byte of a name can act on a terminal.
        if (len == 0 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            const auto b = static_cast<unsigned char>(c);
            out += "\\x";
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
            ++i;
        } else {
            out.append(s.substr(i, len));
            i += len;
        }
    }
}

void TreeWriter::flush(bool force)
{
    if (force || m_buffer.size() >= (1u << 16)) {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
        m_buffer.clear();
    }
}

void TreeWriter::writeText(const FolderTotals* totals, bool human)
{
    const auto countText = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + ' ' + (n == 1 ? one : many);
    };
    // "[  size]  " before the node's text, as wide as the root's total so the names line up.
    const std::size_t width =
        !totals || m_store.isEmpty()
            ? 0
            : (human ? 4 : std::to_string(totals->size(m_store.firstTopLevel())).size());
    const auto appendSize = [&](Id id) {
        if (!totals)
            return;
        const std::string size =
            human ? HumanSize(totals->size(id)) : std::to_string(totals->size(id));
        m_buffer += '[';
        m_buffer.append(size.size() < width ? width - size.size() : 0, ' ');
        m_buffer += size;
        m_buffer += "]  ";
    };
    const auto appendCounts = [&](Id id) {
        if (!totals || !m_store.isFolder(id))
            return;
        m_buffer.pop_back(); // the newline
        m_buffer += "  (" + countText(totals->files(id), "file", "files") + ", " +
                    countText(totals->folders(id), "folder", "folders") + ")\n";
    };
    // A node text on one line, with nothing in it that acts on a terminal.
    const auto appendLine = [this](Id id) {
        if (m_changes && id < m_changes->size()) {
            m_buffer += TreeComparison::symbol((*m_changes)[id]);
            m_buffer.push_back(' ');
        }
        Utf8Functions::AppendVisible(m_buffer, m_store.text(id));
        m_buffer.push_back('\n');
    };
    std::string prefix;                           // the connectors of the ancestors
    std::vector<std::size_t> prefixLengths{0, 0}; // prefix length of a node, by depth
    const auto enter = [&](Id id, std::uint32_t depth) {
        if (depth == 0) {
            appendSize(id);
            appendLine(id);
            appendCounts(id);
            return true;
        }
        const bool last = m_store.nextSibling(id) == NodeStore::npos;
        prefix.resize(prefixLengths[depth]);
        m_buffer += prefix;
        m_buffer += last ? "\xE2\x94\x94\xE2\x94\x80\xE2\x94\x80 "  // "└── "
                         : "\xE2\x94\x9C\xE2\x94\x80\xE2\x94\x80 "; // "├── "
        appendSize(id);
        appendLine(id);
        appendCounts(id);
        flush();
        prefix += last ? "    " : "\xE2\x94\x82   "; // "│   "
        prefixLengths.resize(depth + 2);
        prefixLengths[depth + 1] = prefix.size();
        return true;
    };
    m_store.walk(m_store.firstTopLevel(), true, enter, [](Id, std::uint32_t) {});
    if (totals && !m_store.isEmpty()) {
        const Id root = m_store.firstTopLevel();
        const std::uint64_t size = totals->size(root);
        m_buffer += '\n';
        m_buffer += human ? HumanSize(size) : countText(size, "byte", "bytes");
        m_buffer += " in " + countText(totals->folders(root), "folder", "folders") + ", " +
                    countText(totals->files(root), "file", "files") + '\n';
    }
    flush(true);
}

void TreeWriter::writeProblems(const QStringList& problems)
{
    if (problems.isEmpty())
        return;
    m_buffer += '\n';
    m_buffer += problems.size() == 1
                    ? std::string("1 entry could not be read:\n")
                    : std::to_string(problems.size()) + " entries could not be read:\n";
    for (QString line : problems) {
        for (QChar& c : line)
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = u'?';
        m_buffer += line.toStdString();
        m_buffer += '\n';
    }
    flush(true);
}

void TreeWriter::writeTsv()
{
    std::string key;
    const auto line = [&](Id id, std::uint32_t level) {
        m_store.key(id, key);
        char digits[16];
        m_buffer.append(digits, std::to_chars(digits, digits + sizeof digits, level).ptr);
        m_buffer.push_back('\t');
        m_buffer.push_back(m_store.parent(id) == NodeStore::npos ? 'R'
                           : (!key.empty() && key.back() == '/') ? 'D'
                                                                 : 'F');
        m_buffer.push_back('\t');
        appendTsvEscaped(m_buffer, key);
        m_buffer.push_back('\t');
        appendTsvEscaped(m_buffer, m_store.text(id));
        if (m_changes && id < m_changes->size()) {
            m_buffer.push_back('\t');
            m_buffer += ChangeWord((*m_changes)[id]);
        }
        m_buffer.push_back('\n');
        flush();
        return true;
    };
    if (m_changes) {
        m_store.walk(m_store.firstTopLevel(), true, line, [](Id, std::uint32_t) {});
    } else {
        std::vector<std::uint32_t> levels(m_store.size(), 0);
        for (Id id = 0; id < m_store.size(); ++id) {
            const Id parent = m_store.parent(id);
            if (parent != NodeStore::npos)
                levels[id] = levels[parent] + 1;
            line(id, levels[id]);
        }
    }
    flush(true);
}

} // namespace quillmap
