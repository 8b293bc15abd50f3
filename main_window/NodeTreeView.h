#pragma once

#include "listing/TreeSort.h"
#include "tree/NodeStore.h"

#include <QHash>
#include <QTreeView>

#include <unordered_set>
#include <vector>

namespace quillmap {

class ListingDocument;
class NodeModel;

// The tree view TreeView1 over the listing document: the columns of the search's details, a
// header whose clicks sort the tree, the "as printed" view, and a view that keeps its open
// folders, its current node and its scroll place through a sort, a change of view and a find.
//
// Contract: the document must outlive the view. The view makes and owns the item model and
// resets it around every change of the document. A click on a column's heading sorts every
// folder's children by that column, a second one in reverse; the order stays for the trees
// that follow (sortOrder(), applied by showNewTree()). While a find is on, the folders that
// lead to the matches are opened, as many as fill a few screens.
class NodeTreeView : public QTreeView
{
    Q_OBJECT
public:
    NodeTreeView(ListingDocument& document, QWidget* parent = nullptr);

    NodeModel& nodeModel() const { return *m_model; }

    // A new tree arrived: sorts it in sortOrder() and shows it from its top (the root expanded,
    // at the top left).
    void showNewTree();
    void showTop();

    SortOrder sortOrder() const { return m_order; }
    // Sorts the tree shown in `order` (and every tree after it), keeping the view's place.
    void setSortOrder(SortOrder order);

    bool asPrinted() const;
    void setAsPrinted(bool asPrinted);

    // The widths of the detail columns by their settings name.
    const QHash<QString, int>& columnWidths() const { return m_widths; }
    void setColumnWidths(const QHash<QString, int>& widths);

    // The nodes selected, in the view's order; the current node when none is.
    std::vector<NodeStore::Id> selectedIds() const;
    void expandBelow(const QModelIndex& index);
    void collapseBelow(const QModelIndex& index);

    // A find begins: the place to come back to is noted. find() shows only the matches of
    // `text` and the folders that lead to them (the whole tree, where it was, for an empty
    // text) and returns the number of matches. A find ends: the whole tree where it was, with
    // the node chosen among the matches (if any) current and in view.
    void beginFind();
    std::size_t find(const QString& text);
    void endFind();
    // Opens the folders leading to the matches shown, a few screens' worth.
    void openMatches();

signals:
    void sortOrderChanged();

private:
    struct Place
    {
        std::vector<NodeStore::Id> expanded;
        NodeStore::Id current = NodeStore::npos;
        NodeStore::Id top = NodeStore::npos;
        int left = 0;
    };
    Place place() const;
    void restore(const Place& place);
    void documentChanged();
    void headerClicked(int section);
    // Widths, resize modes and the sort mark, after every reset of the model.
    void fitHeader();
    // The Name column as wide as the names shown, unless the user set its width.
    void fitNameLater();

    ListingDocument& m_document;
    NodeModel* m_model = nullptr;
    SortOrder m_order;
    QHash<QString, int> m_widths;
    // The folders open in the whole tree, by id (kept through a sort, which keeps ids).
    std::unordered_set<NodeStore::Id> m_expanded;
    bool m_sorting = false;
    bool m_fitting = false; // widths being set by the view, not the user
    bool m_fitPending = false;
    Place m_beforeFind;
    bool m_beforeFindValid = false;
    NodeStore::Id m_currentBeforeFind = NodeStore::npos;
};

} // namespace quillmap
