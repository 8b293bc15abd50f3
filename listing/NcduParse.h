#pragma once

#include "listing/ListingJsonReader.h"

#include <string>

namespace quillmap {

class JsonPullParser;
class NodeStore;
struct SearchRecord;

// The rest of an export in ncdu's JSON format (by ncdu -o, gdu -o or NcduWriter), whose opening
// "[" `json` has just read, into `store` and `record`, as a saved listing of this program reads:
// the root's name is its key, each folder and file a node, a file's "asize" its size and
// "mtime" its date. What the export left out ("excluded") is left out here too; a folder it
// could not read is among the entries that could not be read. An export that names no filters
// of this program was made by another program, which lists hidden entries: its record says so.
// Hostile files end in a reason (`detail`), in bounded stack. ListingJsonReader calls it.
ListingJsonReader::Result ParseNcdu(JsonPullParser& json, bool keepUnread, NodeStore& store,
                                    SearchRecord& record, std::string& detail);

} // namespace quillmap
