#pragma once

#include "listing/NodeChange.h"
#include "listing/TreeComparison.h"
#include "listing/TreeSort.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <QObject>
#include <QString>

#include <string>
#include <vector>

namespace quillmap {

class ListingSource;

// What the window shows and quillmap_list writes: a tree, the record of the search that made it
// (folder, options, date, counts, unreadable entries), where it came from and, after a
// comparison with a saved listing, how each node changed. Loading and comparing are done here
// once for both programs.
//
// Contract: tree() is one NodeStore object for the document's life, so a view may keep a
// reference to it. Whatever replaces its content (load(), adopt(), clear(), compareWith(),
// setComparisonView()) is announced by aboutToChange() before and changed() after, so a view
// resets itself around it; a load or comparison that fails changes nothing and announces
// nothing. Not thread-safe: one thread at a time, none reading while another changes it.
class ListingDocument : public QObject
{
    Q_OBJECT
public:
    enum class Origin
    {
        None,        // empty
        Search,      // a search of a folder
        SavedListing // a listing read back from a file
    };

    NodeStore& tree() { return m_tree; }
    const NodeStore& tree() const { return m_tree; }
    const SearchRecord& record() const { return m_record; }
    Origin origin() const { return m_origin; }
    // The file of a saved listing (file-system bytes); empty otherwise.
    const std::string& listingPath() const { return m_listingPath; }
    bool isEmpty() const { return m_tree.isEmpty(); }

    // Replaces what the document holds with what `source` gives, ending any comparison; false
    // (the document as it was) when it gives nothing.
    bool load(ListingSource& source, Origin origin, std::string listingPath = {});
    // The same with a tree and record read already.
    void adopt(NodeStore&& tree, SearchRecord&& record, Origin origin,
               std::string listingPath = {});
    void clear();

    // Compares the tree held with `saved`, a listing of it made before: the tree then holds
    // both, each removed node at its old place, and changes() tells how each node changed. A
    // second comparison starts again from the tree the first was made on. `savedName` names the
    // listing in summaries. False (nothing changed) when `saved` gives nothing.
    bool compareWith(ListingSource& saved, const QString& savedName);
    void compareWith(NodeStore&& saved, SearchRecord&& savedRecord, const QString& savedName);
    bool isCompared() const { return m_compared; }
    // How a comparison is shown: only what differs (with the folders that lead to it), and each
    // text begun with its change's mark (as the window and its printouts show it).
    void setComparisonView(bool onlyChanges, bool markTexts);
    // The change of each node of tree() by id; empty when nothing was compared.
    const std::vector<NodeChange>& changes() const
    {
        return m_fullShown ? m_fullChanges : m_changes;
    }
    const TreeComparison::Summary& summary() const { return m_summary; }
    const QString& comparedWith() const { return m_comparedWith; }
    // The record of the listing compared with.
    const SearchRecord& comparedRecord() const { return m_comparedRecord; }

    // Puts every folder's children in `order` (SortTree()); what is shown, printed and written
    // follows it. A tree loaded or searched comes in the search's order (SortKey::Name).
    void sort(SortOrder order);
    SortOrder order() const { return m_order; }

signals:
    void aboutToChange();
    void changed();

private:
    class Change;

    void endComparison();
    // The tree the comparison is made on: what it held before any comparison.
    NodeStore takeCompared();
    void showComparison();

    NodeStore m_tree;
    SearchRecord m_record;
    Origin m_origin = Origin::None;
    std::string m_listingPath;
    SortOrder m_order;

    bool m_compared = false;
    TreeComparison::Options m_view;
    // The whole comparison, and the change of each of its nodes. It is tree() itself where the
    // view needs no copy (m_fullShown), else kept here beside the copy shown.
    NodeStore m_full;
    bool m_fullShown = false;
    std::vector<NodeChange> m_fullChanges;
    std::vector<NodeChange> m_changes; // of the copy shown
    TreeComparison::Summary m_summary;
    QString m_comparedWith;
    SearchRecord m_comparedRecord;
};

} // namespace quillmap
