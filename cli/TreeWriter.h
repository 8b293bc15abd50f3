#pragma once

#include "platform/NodeStore.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace quillmap {

// Writes a scanned tree in quillmap_list's formats.
class TreeWriter
{
public:
    TreeWriter(const NodeStore& store, std::FILE* out) : m_store(store), m_out(out) {}

    // The tree drawn with connectors, one node text per line.
    void writeText();
    // One line per node in the order added: level, kind, key, text, tab-separated, escaped.
    void writeTsv();
    // The nodes nested as {"key", "text", "children"}.
    void writeJson();

    // Backslash, tab, newline and CR as \\ \t \n \r; bytes that are not UTF-8 as \xHH.
    static void appendTsvEscaped(std::string& out, std::string_view bytes);
    // A JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
    static void appendJsonString(std::string& out, std::string_view bytes);
    // Length of the valid UTF-8 sequence at bytes[i], or 0 when the byte there starts none.
    static std::size_t utf8SequenceLength(std::string_view bytes, std::size_t i);

private:
    void flush(bool force = false);

    const NodeStore& m_store;
    std::FILE* m_out;
    std::string m_buffer;
};

} // namespace quillmap
