#pragma once

#include "listing/ListingJsonReader.h"

#include <cstdio>
#include <string>

namespace quillmap {

class JsonPullParser;
class NodeStore;
struct SearchRecord;

// Reads an export in ncdu's JSON format (written by ncdu -o, gdu -o, or NcduWriter) into a node
// store and a search record, as a saved listing of this program reads: the root's name is its
// key, each folder and file a node, a file's "asize" its size and "mtime" its date. What the
// export left out ("excluded") is left out here too; a folder it could not read is among the
// entries that could not be read. An export that names no filters of this program was made by
// another program, which lists hidden entries: its record says so. Hostile files end in a
// reason, in bounded stack.
class NcduReader
{
public:
    using Result = ListingJsonReader::Result;

    // Whether the file at `path` holds a JSON array (an ncdu export) rather than an object (a
    // listing of this program); told by its first bytes.
    static bool recognises(const std::string& path);

    Result read(const std::string& path, NodeStore& store, SearchRecord& record);
    Result read(std::FILE* in, NodeStore& store, SearchRecord& record);

    void setKeepUnread(bool keep) { m_keepUnread = keep; }
    const std::string& detail() const { return m_detail; }
    int systemError() const { return m_errno; }

private:
    Result fail(Result result, std::string detail);

    std::string m_detail;
    int m_errno = 0;
    bool m_keepUnread = true;
};

} // namespace quillmap
