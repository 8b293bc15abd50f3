#include "main_window/NodeModel.h"

#include "listing/FolderTotals.h"
#include "support/LangFunctions.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace quillmap {

namespace {

// A folder with a red bar across a circle in its corner: one the search could not read.
QIcon unreadableFolderIcon(const QIcon& folder)
{
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap = folder.pixmap(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal d = size * 0.55;
        const QRectF badge(size - d, size - d, d - 0.5, d - 0.5);
        painter.setPen(QPen(Qt::white, size / 16.0));
        painter.setBrush(QColor(0xC0, 0x00, 0x00));
        painter.drawEllipse(badge);
        painter.setPen(QPen(Qt::white, d / 5));
        painter.drawLine(QPointF(badge.left() + d / 4, badge.center().y()),
                         QPointF(badge.right() - d / 4, badge.center().y()));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

NodeModel::NodeModel(NodeStore& store, QObject* parent)
    : QAbstractItemModel(parent), m_store(store), m_columns({NodeColumns::Name})
{
    // Icons need a widget application; a model tested without one shows none.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        m_folderIcon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        m_fileIcon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        m_unreadableIcon = unreadableFolderIcon(m_folderIcon);
    }
}

NodeModel::~NodeModel() = default;

void NodeModel::beginChange()
{
    beginResetModel();
    m_changing = true;
    m_rows.clear();
    m_filter.reset();
    m_totals.reset();
    m_unreadable.clear();
    endResetModel();
}

void NodeModel::endChange()
{
    beginResetModel();
    m_changing = false;
    m_rows.clear();
    if (!m_filterText.isEmpty()) {
        m_filter = std::make_unique<NodeFilter>(m_store);
        m_filter->apply(m_filterText);
    }
    endResetModel();
    if (isFiltered())
        emit filterApplied(m_filter->matches());
}

void NodeModel::setColumns(const std::vector<NodeColumns::Column>& columns)
{
    if (columns == m_columns || columns.empty() || columns.front() != NodeColumns::Name)
        return;
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

NodeColumns::Column NodeModel::columnAt(int section) const
{
    if (m_asPrinted || section < 0 || std::size_t(section) >= m_columns.size())
        return NodeColumns::Name;
    return m_columns[std::size_t(section)];
}

void NodeModel::setAsPrinted(bool asPrinted)
{
    if (asPrinted == m_asPrinted)
        return;
    beginResetModel();
    m_asPrinted = asPrinted;
    endResetModel();
}

std::size_t NodeModel::setFilter(const QString& text)
{
    beginResetModel();
    m_filterText = text;
    if (!text.isEmpty() && !m_changing) {
        if (!m_filter)
            m_filter = std::make_unique<NodeFilter>(m_store);
        m_filter->apply(text);
    }
    endResetModel();
    return matchCount();
}

void NodeModel::endFilter()
{
    setFilter(QString());
    m_filter.reset();
}

const FolderTotals& NodeModel::totals() const
{
    if (!m_totals)
        m_totals = std::make_unique<FolderTotals>(m_store);
    return *m_totals;
}

NodeStore::Id NodeModel::idOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<NodeStore::Id>(index.internalId()) : NodeStore::npos;
}

QModelIndex NodeModel::indexOf(NodeStore::Id id) const
{
    if (m_changing || !m_store.contains(id))
        return {};
    if (const NodeFilter* find = filter()) {
        if (!find->isShown(id))
            return {};
        return createIndex(static_cast<int>(find->row(id)), 0, static_cast<quintptr>(id));
    }
    return createIndex(static_cast<int>(m_store.row(id)), 0, static_cast<quintptr>(id));
}

NodeStore::Id NodeModel::childAt(NodeStore::Id parent, int row) const
{
    if (m_changing || row < 0)
        return NodeStore::npos;
    if (const NodeFilter* find = filter())
        return find->child(parent, std::uint32_t(row));
    const bool top = parent == NodeStore::npos;
    const auto count = static_cast<int>(top ? m_store.topLevelCount() : m_store.childCount(parent));
    if (row >= count)
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
    if (column < 0 || column >= columnCount() || (parent.isValid() && parent.column() != 0))
        return {};
    const NodeStore::Id id = childAt(idOf(parent), row);
    return id == NodeStore::npos ? QModelIndex()
                                 : createIndex(row, column, static_cast<quintptr>(id));
}

QModelIndex NodeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    return indexOf(m_store.parent(idOf(child)));
}

int NodeModel::rowCount(const QModelIndex& parent) const
{
    if (m_changing || (parent.isValid() && parent.column() != 0))
        return 0;
    const NodeStore::Id id = idOf(parent);
    if (const NodeFilter* find = filter())
        return static_cast<int>(find->childCount(id));
    if (id == NodeStore::npos)
        return static_cast<int>(m_store.topLevelCount());
    return static_cast<int>(m_store.childCount(id));
}

int NodeModel::columnCount(const QModelIndex&) const
{
    return m_asPrinted ? 1 : static_cast<int>(m_columns.size());
}

bool NodeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant NodeModel::nameData(NodeStore::Id id, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        if (m_asPrinted)
            return m_store.displayText(id);
        if (m_prefix)
            return m_prefix(id) + NodeStore::displayString(m_store.name(id));
        return NodeStore::displayString(m_store.name(id));
    case Qt::DecorationRole:
        if (!m_store.isFolder(id))
            return m_fileIcon;
        return m_unreadable.count(id) ? m_unreadableIcon : m_folderIcon;
    case Qt::ToolTipRole: {
        QString tip = NodeStore::displayString(m_store.key(id));
        if (const auto found = m_unreadable.find(id); found != m_unreadable.end())
            tip += QLatin1Char('\n') +
                   LangFunctions::MessageText(158, "This folder could not be read: %1")
                       .arg(found->second);
        return tip;
    }
    default:
        return m_extra ? m_extra(id, role) : QVariant();
    }
}

QVariant NodeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || m_changing)
        return {};
    const NodeStore::Id id = idOf(index);
    const NodeColumns::Column column = columnAt(index.column());
    if (column == NodeColumns::Name)
        return nameData(id, role);
    switch (role) {
    case Qt::DisplayRole:
        return NodeColumns::text(m_store, totals(), id, column);
    case Qt::ToolTipRole: {
        const QString tip = NodeColumns::toolTip(m_store, totals(), id, column);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        if (NodeColumns::isNumber(column))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return m_extra ? m_extra(id, role) : QVariant();
    }
}

QVariant NodeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return NodeColumns::heading(columnAt(section));
}

} // namespace quillmap
