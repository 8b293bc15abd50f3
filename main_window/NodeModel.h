#pragma once

#include "main_window/NodeColumns.h"
#include "main_window/NodeFilter.h"
#include "tree/NodeStore.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace quillmap {

class FolderTotals;

// A thin read-only item model over a NodeStore for the tree view TreeView1: a Name column and
// the detail columns, or, "as printed", one column of the node texts, each with a folder or
// file icon; and, while a find is on, only the matches and the folders that lead to them.
//
// Contract: the store is borrowed and must outlive the model. Whoever changes the store wraps
// the change in beginChange()/endChange() (a scan does once at its start and once at its end).
// Each of the two resets the model; in between the model shows no rows and reads nothing of the
// store, so the view never sees a half-built tree and the store may be filled on another thread
// while the view paints. A find stays on through a change and is applied to the new tree.
// Changing the columns, the "as printed" view or the find resets the model too.
class NodeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit NodeModel(NodeStore& store, QObject* parent = nullptr);
    ~NodeModel() override;

    NodeStore& store() const { return m_store; }
    void beginChange();
    void endChange();

    // Data for the roles other than the text, the icon and the tool tip (colours, fonts), by
    // node; none when empty. Whoever sets it wraps the change in beginChange()/endChange().
    using ExtraData = std::function<QVariant(NodeStore::Id id, int role)>;
    void setExtraData(ExtraData extra) { m_extra = std::move(extra); }
    // What the Name column shows before a node's name (a comparison's mark); nothing when empty.
    using NamePrefix = std::function<QString(NodeStore::Id id)>;
    void setNamePrefix(NamePrefix prefix) { m_prefix = std::move(prefix); }
    // The folders that could not be read, with why; set right after a change, before the view
    // paints.
    void setUnreadable(std::unordered_map<NodeStore::Id, QString> reasons)
    {
        m_unreadable = std::move(reasons);
    }

    void setColumns(const std::vector<NodeColumns::Column>& columns);
    const std::vector<NodeColumns::Column>& columns() const { return m_columns; }
    // The column a section shows (Name for the one column "as printed").
    NodeColumns::Column columnAt(int section) const;
    void setAsPrinted(bool asPrinted);
    bool asPrinted() const { return m_asPrinted; }

    // Shows only the nodes whose name holds `text` (letter case aside) and the folders above
    // them; an empty text shows the whole tree again, the names kept ready for the next text.
    // Returns the number of matches. endFilter() shows the whole tree and lets the names go.
    std::size_t setFilter(const QString& text);
    void endFilter();
    bool isFiltered() const { return filter() != nullptr; }
    const QString& filterText() const { return m_filterText; }
    std::size_t matchCount() const { return isFiltered() ? m_filter->matches() : 0; }
    // Whether a node shown is a match of the find (false without a find).
    bool isMatch(NodeStore::Id id) const { return isFiltered() && m_filter->isMatch(id); }

    QModelIndex indexOf(NodeStore::Id id) const;
    NodeStore::Id idOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

signals:
    // The find was applied again, to a changed tree: its new number of matches.
    void filterApplied(std::size_t matches);

private:
    // The find's filter while a text is on, else null.
    const NodeFilter* filter() const { return m_filterText.isEmpty() ? nullptr : m_filter.get(); }
    NodeStore::Id childAt(NodeStore::Id parent, int row) const;
    const FolderTotals& totals() const;
    QVariant nameData(NodeStore::Id id, int role) const;

    NodeStore& m_store;
    ExtraData m_extra;
    NamePrefix m_prefix;
    std::unordered_map<NodeStore::Id, QString> m_unreadable;
    std::vector<NodeColumns::Column> m_columns;
    bool m_asPrinted = false;
    bool m_changing = false;
    QString m_filterText;
    std::unique_ptr<NodeFilter> m_filter;
    // Worked out when a folder's totals are first shown after a change.
    mutable std::unique_ptr<FolderTotals> m_totals;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    QIcon m_unreadableIcon;
    // Children by row, built the first time a view asks for an inner row of a parent; sibling
    // lists are singly linked, so this keeps large folders from costing O(n) per row.
    mutable std::unordered_map<NodeStore::Id, std::vector<NodeStore::Id>> m_rows;
};

} // namespace quillmap
