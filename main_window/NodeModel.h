#pragma once

#include "tree/NodeStore.h"

#include <QAbstractItemModel>

#include <functional>

#include <unordered_map>
#include <vector>

namespace quillmap {

// A thin read-only item model over a NodeStore, one column, for the tree view TreeView1.
//
// Contract: the store is borrowed and must outlive the model. Whoever changes the store wraps
// the change in beginChange()/endChange() (a scan does once at its start and once at its end).
// Each of the two resets the model; in between the model shows no rows and reads nothing of the
// store, so the view never sees a half-built tree and the store may be filled on another thread
// while the view paints.
class NodeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit NodeModel(NodeStore& store, QObject* parent = nullptr);

    NodeStore& store() const { return m_store; }
    void beginChange();
    void endChange();

    // Data for the roles other than the text and the tool tip (colours, fonts), by node; none
    // when empty. Whoever sets it wraps the change in beginChange()/endChange().
    using ExtraData = std::function<QVariant(NodeStore::Id id, int role)>;
    void setExtraData(ExtraData extra) { m_extra = std::move(extra); }

    QModelIndex indexOf(NodeStore::Id id) const;
    NodeStore::Id idOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

private:
    NodeStore::Id childAt(NodeStore::Id parent, int row) const;

    NodeStore& m_store;
    ExtraData m_extra;
    bool m_changing = false;
    // Children by row, built the first time a view asks for an inner row of a parent; sibling
    // lists are singly linked, so this keeps large folders from costing O(n) per row.
    mutable std::unordered_map<NodeStore::Id, std::vector<NodeStore::Id>> m_rows;
};

} // namespace quillmap
