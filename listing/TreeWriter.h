#pragma once

#include "listing/NodeChange.h"
#include "tree/NodeStore.h"

#include <QStringList>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

class FolderTotals;

// Writes a scanned tree in quillmap_list's text and TSV formats (JSON: ListingJsonWriter).
class TreeWriter
{
public:
    TreeWriter(const NodeStore& store, std::FILE* out) : m_store(store), m_out(out) {}

    // The tree drawn with connectors, one node text per line. With totals, each line starts
    // with the node's size in brackets (a folder's over all it holds, in bytes or, when
    // `human`, as HumanSize() writes it), a folder's line ends with its number of files and
    // folders, and a last line sums up the tree. With changes set, each text follows its
    // change's symbol and a space.
    void writeText(const FolderTotals* totals = nullptr, bool human = false);
    // "N entries could not be read:" and one line each, after a blank line; nothing when none.
    void writeProblems(const QStringList& problems);
    // One line per node in the order added: level, kind, key, text, tab-separated, escaped;
    // with changes set, in tree order (a comparison adds removed nodes last), with the change's
    // word as a fifth column.
    void writeTsv();

    // The change of each node (by id), for a comparison's text and TSV.
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
