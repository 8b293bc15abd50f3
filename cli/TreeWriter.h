#pragma once

#include "platform/NodeStore.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace quillmap {

// Writes a scanned tree in quillmap_list's text and TSV formats (JSON: ListingJsonWriter).
class TreeWriter
{
public:
    TreeWriter(const NodeStore& store, std::FILE* out) : m_store(store), m_out(out) {}

    // The tree drawn with connectors, one node text per line.
    void writeText();
    // One line per node in the order added: level, kind, key, text, tab-separated, escaped.
    void writeTsv();

    // Backslash, tab, newline and CR as \\ \t \n \r; bytes that are not UTF-8 as \xHH.
    static void appendTsvEscaped(std::string& out, std::string_view bytes);

private:
    void flush(bool force = false);

    const NodeStore& m_store;
    std::FILE* m_out;
    std::string m_buffer;
};

} // namespace quillmap
