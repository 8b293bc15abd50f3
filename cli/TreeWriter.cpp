#include "cli/TreeWriter.h"

#include <vector>

namespace quillmap {

using Id = NodeStore::Id;

std::size_t TreeWriter::utf8SequenceLength(std::string_view s, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0; // no overlong forms
        if (c == 0xED)
            hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        if (c == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + len > s.size() || b(i + 1) < lo || b(i + 1) > hi)
        return 0;
    for (std::size_t k = 2; k < len; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    return len;
}

void TreeWriter::appendTsvEscaped(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < s.size();) {
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
        const std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) {
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

void TreeWriter::appendJsonString(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
            continue;
        }
        if (len > 1) {
            out.append(s.substr(i, len));
            i += len;
            continue;
        }
        ++i;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 15]);
            } else {
                out.push_back(char(c));
            }
        }
    }
    out.push_back('"');
}

void TreeWriter::flush(bool force)
{
    if (force || m_buffer.size() >= (1u << 16)) {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
        m_buffer.clear();
    }
}

void TreeWriter::writeText()
{
    // A node text on one line: control characters as "?", bytes that are not UTF-8 as U+FFFD.
    const auto appendLine = [this](std::string_view text) {
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t len = utf8SequenceLength(text, i);
            const auto c = static_cast<unsigned char>(text[i]);
            if (len == 0) {
                m_buffer += "\xEF\xBF\xBD";
                ++i;
            } else if (len == 1 && (c < 0x20 || c == 0x7F)) {
                m_buffer.push_back('?');
                ++i;
            } else {
                m_buffer.append(text.substr(i, len));
                i += len;
            }
        }
        m_buffer.push_back('\n');
    };
    std::string prefix; // the connectors of the ancestors
    std::vector<std::size_t> prefixLengths;
    for (Id top = m_store.firstTopLevel(); top != NodeStore::npos; top = m_store.nextSibling(top)) {
        appendLine(m_store.text(top));
        Id id = m_store.firstChild(top);
        std::vector<Id> stack;
        while (id != NodeStore::npos || !stack.empty()) {
            if (id == NodeStore::npos) {
                id = m_store.nextSibling(stack.back());
                stack.pop_back();
                prefix.resize(prefixLengths.back());
                prefixLengths.pop_back();
                continue;
            }
            const bool last = m_store.nextSibling(id) == NodeStore::npos;
            m_buffer += prefix;
            m_buffer += last ? "\xE2\x94\x94\xE2\x94\x80\xE2\x94\x80 "  // "└── "
                             : "\xE2\x94\x9C\xE2\x94\x80\xE2\x94\x80 "; // "├── "
            appendLine(m_store.text(id));
            flush();
            if (m_store.firstChild(id) != NodeStore::npos) {
                stack.push_back(id);
                prefixLengths.push_back(prefix.size());
                prefix += last ? "    " : "\xE2\x94\x82   "; // "│   "
                id = m_store.firstChild(id);
            } else {
                id = m_store.nextSibling(id);
            }
        }
    }
    flush(true);
}

void TreeWriter::writeTsv()
{
    std::vector<std::uint32_t> levels(m_store.size(), 0);
    for (Id id = 0; id < m_store.size(); ++id) {
        const Id parent = m_store.parent(id);
        if (parent != NodeStore::npos)
            levels[id] = levels[parent] + 1;
        const std::string key = m_store.key(id);
        m_buffer += std::to_string(levels[id]);
        m_buffer.push_back('\t');
        m_buffer.push_back(parent == NodeStore::npos             ? 'R'
                           : (!key.empty() && key.back() == '/') ? 'D'
                                                                 : 'F');
        m_buffer.push_back('\t');
        appendTsvEscaped(m_buffer, key);
        m_buffer.push_back('\t');
        appendTsvEscaped(m_buffer, m_store.text(id));
        m_buffer.push_back('\n');
        flush();
    }
    flush(true);
}

void TreeWriter::writeJson()
{
    const auto open = [this](Id id) {
        m_buffer += "{\"key\":";
        appendJsonString(m_buffer, m_store.key(id));
        m_buffer += ",\"text\":";
        appendJsonString(m_buffer, m_store.text(id));
        m_buffer += ",\"children\":[";
    };
    // The start folder's node is the one top-level node a scan makes; write it as the root
    // object (several top-level nodes become an array).
    const bool several = m_store.topLevelCount() != 1;
    if (several)
        m_buffer.push_back('[');
    for (Id top = m_store.firstTopLevel(); top != NodeStore::npos; top = m_store.nextSibling(top)) {
        if (top != m_store.firstTopLevel())
            m_buffer.push_back(',');
        open(top);
        std::vector<Id> stack{top};
        Id id = m_store.firstChild(top);
        while (!stack.empty()) {
            if (id == NodeStore::npos) {
                const Id done = stack.back();
                stack.pop_back();
                m_buffer += "]}";
                if (stack.empty())
                    break;
                id = m_store.nextSibling(done);
                if (id != NodeStore::npos)
                    m_buffer.push_back(',');
                continue;
            }
            open(id);
            flush();
            if (m_store.firstChild(id) != NodeStore::npos) {
                stack.push_back(id);
                id = m_store.firstChild(id);
            } else {
                m_buffer += "]}";
                id = m_store.nextSibling(id);
                if (id != NodeStore::npos)
                    m_buffer.push_back(',');
            }
        }
    }
    if (several)
        m_buffer.push_back(']');
    m_buffer.push_back('\n');
    flush(true);
}

} // namespace quillmap
