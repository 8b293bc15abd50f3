#pragma once

#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <QString>

#include <cstdio>
#include <string>

namespace quillmap {

// Reads a listing that ListingJsonWriter wrote back into a node store and a search record, or an
// export in ncdu's JSON format (NcduParse.h), told apart by their content (an object, an array).
// The file may come from anywhere: whatever it holds, reading ends with the listing or with a
// reason, in bounded stack and in memory that grows with the file only.
class JsonPullParser;

class ListingJsonReader
{
public:
    enum class Result
    {
        Ok,
        CannotOpen,   // the file can't be opened or read (see systemError())
        NotJson,      // not JSON at all, or broken JSON
        Truncated,    // JSON that ends too soon
        TooLong,      // a string longer than any listing holds
        NotListing,   // JSON, but not a listing
        NoVersion,    // a listing of the first kind, written before listings had a version
        NewerVersion, // a listing from a later version of the program
        Invalid       // a listing whose content does not hold together
    };

    // Reads the file at `path` (file-system bytes). On success `store` and `record` hold the
    // listing; on failure both are left as they were.
    Result read(const std::string& path, NodeStore& store, SearchRecord& record);
    // The same from an open stream.
    Result read(std::FILE* in, NodeStore& store, SearchRecord& record);

    // The English sentence for a result (the window shows its own language's).
    static const char* englishText(Result result);

    // The most entries that could not be read kept from a listing (those past it are counted
    // in one closing line): each costs far more memory than its line in the file.
    static constexpr qsizetype kMaxUnread = 100'000;

    // Whether the entries that could not be read are kept in the record (by default they
    // are): a listing only compared against needs none of them.
    void setKeepUnread(bool keep) { m_keepUnread = keep; }

    // What went wrong, in English, for logs and quillmap_list ("" after Ok).
    const std::string& detail() const { return m_detail; }
    // The errno of a CannotOpen.
    int systemError() const { return m_errno; }
    // Whether the file read last was an ncdu export.
    bool readNcdu() const { return m_ncdu; }

    // The result and detail of a parse that `json` ended with an error.
    static Result syntaxError(const JsonPullParser& json, std::string& detail);

private:
    Result fail(Result result, std::string detail);

    std::string m_detail;
    int m_errno = 0;
    bool m_keepUnread = true;
    bool m_ncdu = false;
};

} // namespace quillmap
