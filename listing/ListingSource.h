#pragma once

namespace quillmap {

class NodeStore;
struct SearchRecord;

// What feeds a listing document: a search of a folder (ScanSource) or a saved listing read back
// (SavedListingSource). The window and quillmap_list both load and compare through it.
//
// Contract: read() fills `tree`, which is empty, and `record`, on whatever one thread it is
// called on, touching nothing else. It returns false when it gives nothing to show (a saved
// listing that can't be read; the source tells why); a search always gives its tree, even when
// its start folder could not be listed (its record's report says so). Nothing throws but
// std::bad_alloc.
class ListingSource
{
public:
    virtual ~ListingSource() = default;
    virtual bool read(NodeStore& tree, SearchRecord& record) = 0;
};

} // namespace quillmap
