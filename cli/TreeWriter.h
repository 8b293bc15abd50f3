#pragma once

#include "platform/tree/NodeStore.h"
#include "scan/NodeChange.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

// Writes a scanned tree in quillmap_list's text and TSV formats (JSON: ListingJsonWriter).
class TreeWriter
{
public:
    TreeWriter(const NodeStore& store, std::FILE* out) : m_store(store), m_out(out) {}

    // The tree drawn with connectors, one node text per line.
    void writeText();
    // One line per node in the order added: level, kind, key, text, tab-separated, escaped;
    // with changes set, the change's word as a fifth column.
    void writeTsv();

    // The change of each node (by id), for a comparison's TSV.
    void setChanges(const std::vector<NodeChange>* changes) { m_changes = changes; }

    // Backslash, tab, newline and CR as \\ \t \n \r; bytes that are not UTF-8 as \xHH.
    static void appendTsvEscaped(std::string& out, std::string_view bytes);

private:
    void flush(bool force = false);

    const NodeStore& m_store;
    std::FILE* m_out;
    const std::vector<NodeChange>* m_changes = nullptr;
    std::string m_buffer;
};

} // namespace quillmap
