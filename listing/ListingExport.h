#pragma once

#include <QString>

#include <cstdio>

namespace quillmap {

class NodeStore;
struct SearchRecord;

// The formats a listing is written in, by the window's Export command and by quillmap_list.
enum class ListingFormat
{
    Text,
    Tsv,
    Json,
    Html,
    Csv,
    Ncdu // ncdu's JSON export, which ncdu and gdu read
};

struct ListingExport
{
    // The format a file name's ending asks for ("page.HTML" is Html); Text when it names none.
    static ListingFormat formatOfFile(const QString& path);

    // Writes the tree of the last search in `format` to `out`; with `totals` the text format
    // carries the folder totals (sizes readable by people when `human`), and with `problems`
    // it ends with the entries that could not be read (the other formats always carry them).
    // Returns false when writing failed.
    static bool write(ListingFormat format, const NodeStore& tree, const SearchRecord& record,
                      std::FILE* out, bool totals = false, bool human = false,
                      bool problems = false);

    // The same into the file `path`, written in full beside it first and then put in its
    // place, so that a failure leaves what was there intact. Returns false with `error` saying
    // why and `systemError`, when given, the system error number of the reason.
    static bool writeFile(ListingFormat format, const NodeStore& tree, const SearchRecord& record,
                          const QString& path, QString* error, int* systemError = nullptr);
};

} // namespace quillmap
