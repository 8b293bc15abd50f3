#pragma once

#include <QString>

class QWidget;

namespace quillmap {

class NodeStore;
struct SearchRecord;

// File > Export...: asks for a file (named after the searched folder, in the documents folder)
// and a type (web page, spreadsheet, JSON, text), then writes the last search's tree there with
// the options it ran with. Before any search it says there is nothing to export. Modal; says so
// when the file can't be written, which then leaves any earlier file intact. Returns the file
// written; empty when nothing was.
QString ExportDir(QWidget* window, const NodeStore& tree, const SearchRecord& record);

} // namespace quillmap
