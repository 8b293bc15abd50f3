#include "main_window/NodeModel.h"

namespace quillmap {

NodeModel::NodeModel(NodeStore& store, QObject* parent) : QAbstractItemModel(parent), m_store(store)
{
}

void NodeModel::beginChange()
{
    beginResetModel();
    m_changing = true;
    m_rows.clear();
    endResetModel();
}

void NodeModel::endChange()
{
    beginResetModel();
    m_changing = false;
    m_rows.clear();
    endResetModel();
}

NodeStore::Id NodeModel::idOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<NodeStore::Id>(index.internalId()) : NodeStore::npos;
}

QModelIndex NodeModel::indexOf(NodeStore::Id id) const
{
    if (m_changing || !m_store.contains(id))
        return {};
    return createIndex(static_cast<int>(m_store.row(id)), 0, static_cast<quintptr>(id));
}

NodeStore::Id NodeModel::childAt(NodeStore::Id parent, int row) const
{
    if (m_changing)
        return NodeStore::npos;
    const bool top = parent == NodeStore::npos;
    const auto count = static_cast<int>(top ? m_store.topLevelCount() : m_store.childCount(parent));
    if (row < 0 || row >= count)
        return NodeStore::npos;
    const NodeStore::Id first = top ? m_store.firstTopLevel() : m_store.firstChild(parent);
    if (row == 0)
        return first;
    if (!top && row == count - 1)
        return m_store.lastChild(parent);
    auto& rows = m_rows[parent];
    if (rows.size() != static_cast<std::size_t>(count)) {
        rows.clear();
        rows.reserve(count);
        for (NodeStore::Id c = first; c != NodeStore::npos; c = m_store.nextSibling(c))
            rows.push_back(c);
    }
    return rows[row];
}

QModelIndex NodeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const NodeStore::Id id = childAt(idOf(parent), row);
    return id == NodeStore::npos ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(id));
}

QModelIndex NodeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOf(m_store.parent(idOf(child)));
}

int NodeModel::rowCount(const QModelIndex& parent) const
{
    if (m_changing)
        return 0;
    if (!parent.isValid())
        return static_cast<int>(m_store.topLevelCount());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_store.childCount(idOf(parent)));
}

int NodeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool NodeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant NodeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const NodeStore::Id id = idOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return m_store.displayText(id);
    case Qt::ToolTipRole:
        return NodeStore::displayString(m_store.key(id));
    default:
        return m_extra ? m_extra(id, role) : QVariant();
    }
}

} // namespace quillmap
