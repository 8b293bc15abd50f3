#pragma once

#include "listing/ListingJsonReader.h"
#include "listing/ListingSource.h"

#include <string>

namespace quillmap {

// A listing saved by this program (the JSON format), or an export in ncdu's JSON format (by
// ncdu, gdu or this program), read back from the file at `path` (file-system bytes). When
// read() fails, result(), systemError() and detail() tell why.
class SavedListingSource : public ListingSource
{
public:
    explicit SavedListingSource(std::string path) : m_path(std::move(path)) {}
    bool read(NodeStore& tree, SearchRecord& record) override;
    // Whether the entries the listing could not read are kept (by default they are): a
    // listing only compared against needs none of them.
    void setKeepUnread(bool keep) { m_reader.setKeepUnread(keep); }

    const std::string& path() const { return m_path; }
    ListingJsonReader::Result result() const { return m_result; }
    int systemError() const { return m_reader.systemError(); }
    const std::string& detail() const { return m_reader.detail(); }

private:
    std::string m_path;
    ListingJsonReader m_reader;
    ListingJsonReader::Result m_result = ListingJsonReader::Result::Ok;
};

} // namespace quillmap
