#include "main_window/NodeTreeView.h"

#include "listing/ListingDocument.h"
#include "main_window/ListingDir.h"
#include "main_window/NodeModel.h"
#include "platform/controls/WaitCursor.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <unordered_map>

namespace quillmap {

using Id = NodeStore::Id;

namespace {

// How many rows a find opens at most: a few screens, so a search matching most of a million
// nodes stays quick to show.
constexpr int kOpenedRowsForFind = 2000;

int defaultWidth(NodeColumns::Column column)
{
    switch (column) {
    case NodeColumns::Name:
        return 220;
    case NodeColumns::Size:
        return 95;
    case NodeColumns::Files:
    case NodeColumns::Folders:
        return 60;
    case NodeColumns::Created:
    case NodeColumns::Accessed:
    case NodeColumns::Modified:
        return 120;
    default:
        return 70;
    }
}

// The folders the search could not list, with why: the report names each by its path.
std::unordered_map<Id, QString> unreadableFolders(const NodeStore& tree, const ScanReport& report)
{
    std::unordered_map<Id, QString> folders;
    if (report.problemPaths.empty())
        return folders;
    std::unordered_map<std::string_view, qsizetype> problems;
    for (std::size_t i = 0; i < report.problemPaths.size(); ++i)
        problems.emplace(report.problemPaths[i], qsizetype(i));
    std::string key;
    for (Id id = 0; id < tree.size(); ++id) {
        if (!tree.isFolder(id))
            continue;
        tree.key(id, key);
        if (key.size() > 1)
            key.pop_back();
        if (const auto found = problems.find(key); found != problems.end())
            folders.emplace(id, report.problemReason(found->second));
    }
    return folders;
}

} // namespace

NodeTreeView::NodeTreeView(ListingDocument& document, QWidget* parent)
    : QTreeView(parent), m_document(document), m_model(new NodeModel(document.tree(), this))
{
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    // A comparison's marks: the symbol before each name; colour (and italics for what is gone)
    // make them stand out.
    m_model->setExtraData(
        [this](Id id, int role) { return ChangeMark(m_document.changes(), id, role, font()); });
    m_model->setNamePrefix([this](Id id) {
        const std::vector<NodeChange>& changes = m_document.changes();
        if (id >= changes.size())
            return QString();
        return QString::fromLatin1(TreeComparison::symbol(changes[id]).data()) + QLatin1Char(' ');
    });
    setModel(m_model);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSectionsMovable(false);
    connect(header(), &QHeaderView::sectionClicked, this, &NodeTreeView::headerClicked);
    // Widths the user sets are kept; the Name column fits its names until the user sets it.
    connect(header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_fitting && !m_model->asPrinted() && section < m_model->columnCount())
            m_widths[QString::fromLatin1(NodeColumns::key(m_model->columnAt(section)))] = size;
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &NodeTreeView::fitHeader);

    connect(&m_document, &ListingDocument::aboutToChange, m_model, &NodeModel::beginChange);
    connect(&m_document, &ListingDocument::aboutToChange, this, [this] {
        // A sort keeps every id; anything else makes a new tree.
        if (!m_sorting) {
            m_expanded.clear();
            m_beforeFindValid = false;
        }
    });
    connect(&m_document, &ListingDocument::changed, m_model, &NodeModel::endChange);
    connect(&m_document, &ListingDocument::changed, this, &NodeTreeView::documentChanged);

    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!m_model->isFiltered())
            m_expanded.insert(m_model->idOf(index));
        fitNameLater();
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (!m_model->isFiltered())
            m_expanded.erase(m_model->idOf(index));
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                m_document.tree().setSelected(m_model->idOf(current));
            });
    documentChanged();
    fitHeader();
}

void NodeTreeView::documentChanged()
{
    m_model->setColumns(NodeColumns::forTicks(m_document.record().details));
    m_model->setUnreadable(unreadableFolders(m_document.tree(), m_document.record().report));
    if (m_model->isFiltered())
        openMatches();
}

void NodeTreeView::showNewTree()
{
    if (m_document.order() != m_order && !m_document.isEmpty()) {
        WaitCursor wait;
        m_sorting = true;
        m_document.sort(m_order);
        m_sorting = false;
    }
    showTop();
}

void NodeTreeView::showTop()
{
    // The tree from its top: the root at the top left, expanded, whatever the previous tree's
    // view was scrolled to.
    const NodeStore& tree = m_document.tree();
    if (tree.item1() != NodeStore::npos)
        expand(m_model->indexOf(tree.item1()));
    scrollToTop();
    horizontalScrollBar()->setValue(0);
    fitNameLater();
}

void NodeTreeView::fitNameLater()
{
    if (m_fitPending)
        return;
    m_fitPending = true;
    // Once the folders opened by one action are laid out, not once for each of them.
    QTimer::singleShot(0, this, [this] {
        m_fitPending = false;
        const QString name = QString::fromLatin1(NodeColumns::key(NodeColumns::Name));
        if (m_model->asPrinted() || m_widths.contains(name))
            return;
        m_fitting = true;
        header()->resizeSection(0, std::max(defaultWidth(NodeColumns::Name), sizeHintForColumn(0)));
        m_fitting = false;
    });
}

void NodeTreeView::setSortOrder(SortOrder order)
{
    m_order = order;
    if (m_document.order() != order && !m_document.isEmpty()) {
        WaitCursor wait;
        const Place before = place();
        m_sorting = true;
        m_document.sort(order);
        m_sorting = false;
        if (!m_model->isFiltered())
            restore(before);
    }
    fitHeader();
    emit sortOrderChanged();
}

void NodeTreeView::headerClicked(int section)
{
    const SortKey key = NodeColumns::sortKey(m_model->columnAt(section));
    setSortOrder({key, key == m_order.key ? !m_order.reverse : false});
}

bool NodeTreeView::asPrinted() const
{
    return m_model->asPrinted();
}

void NodeTreeView::setAsPrinted(bool asPrinted)
{
    if (asPrinted == m_model->asPrinted())
        return;
    const Place before = place();
    m_model->setAsPrinted(asPrinted);
    if (m_model->isFiltered())
        openMatches();
    else
        restore(before);
}

void NodeTreeView::setColumnWidths(const QHash<QString, int>& widths)
{
    m_widths = widths;
    fitHeader();
}

void NodeTreeView::fitHeader()
{
    QHeaderView* bar = header();
    if (m_model->asPrinted()) {
        // A line with its details is far wider than the view: the column takes the width of
        // the lines shown and the view scrolls sideways, rather than cutting the details off.
        setHeaderHidden(true);
        bar->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        return;
    }
    setHeaderHidden(false);
    int sorted = -1;
    m_fitting = true;
    for (int section = 0; section < m_model->columnCount(); ++section) {
        const NodeColumns::Column column = m_model->columnAt(section);
        bar->setSectionResizeMode(section, QHeaderView::Interactive);
        bar->resizeSection(section, m_widths.value(QString::fromLatin1(NodeColumns::key(column)),
                                                   defaultWidth(column)));
        if (NodeColumns::sortKey(column) == m_order.key)
            sorted = section;
    }
    m_fitting = false;
    fitNameLater();
    bar->setSortIndicator(sorted, m_order.reverse ? Qt::DescendingOrder : Qt::AscendingOrder);
}

std::vector<Id> NodeTreeView::selectedIds() const
{
    QModelIndexList rows = selectionModel()->selectedRows(0);
    if (rows.isEmpty() && currentIndex().isValid())
        rows.append(currentIndex().siblingAtColumn(0));
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return visualRect(a).top() < visualRect(b).top();
    });
    std::vector<Id> ids;
    for (const QModelIndex& index : rows)
        ids.push_back(m_model->idOf(index));
    return ids;
}

void NodeTreeView::expandBelow(const QModelIndex& index)
{
    WaitCursor wait;
    expandRecursively(index.siblingAtColumn(0));
}

void NodeTreeView::collapseBelow(const QModelIndex& index)
{
    const QModelIndex base = index.siblingAtColumn(0);
    const Id top = m_model->idOf(base);
    std::vector<QModelIndex> open;
    if (m_model->isFiltered()) {
        std::vector<QModelIndex> stack = {base};
        while (!stack.empty()) {
            const QModelIndex at = stack.back();
            stack.pop_back();
            if (!isExpanded(at))
                continue;
            open.push_back(at);
            for (int row = 0; row < m_model->rowCount(at); ++row)
                stack.push_back(m_model->index(row, 0, at));
        }
    } else {
        // Also the folders open inside closed ones, so none opens again with its parent.
        const NodeStore& tree = m_document.tree();
        for (const Id id : m_expanded)
            for (Id p = id; p != NodeStore::npos; p = tree.parent(p))
                if (p == top) {
                    open.push_back(m_model->indexOf(id));
                    break;
                }
    }
    // One layout at the end instead of one for each folder closed.
    scheduleDelayedItemsLayout();
    for (const QModelIndex& at : open)
        collapse(at);
    collapse(base);
}

NodeTreeView::Place NodeTreeView::place() const
{
    Place p;
    p.expanded.assign(m_expanded.begin(), m_expanded.end());
    p.current = m_model->idOf(currentIndex());
    p.top = m_model->idOf(indexAt(QPoint(1, 1)));
    p.left = horizontalScrollBar()->value();
    return p;
}

void NodeTreeView::restore(const Place& p)
{
    scheduleDelayedItemsLayout();
    for (const Id id : p.expanded)
        expand(m_model->indexOf(id));
    if (const QModelIndex current = m_model->indexOf(p.current); current.isValid())
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    if (const QModelIndex top = m_model->indexOf(p.top); top.isValid())
        scrollTo(top, QAbstractItemView::PositionAtTop);
    else
        scrollToTop();
    horizontalScrollBar()->setValue(p.left);
}

void NodeTreeView::beginFind()
{
    if (m_model->isFiltered())
        return;
    m_beforeFind = place();
    m_beforeFindValid = true;
}

std::size_t NodeTreeView::find(const QString& text)
{
    const std::size_t matches = m_model->setFilter(text);
    if (m_model->isFiltered())
        openMatches();
    else if (m_beforeFindValid)
        restore(m_beforeFind);
    return matches;
}

void NodeTreeView::endFind()
{
    const Id chosen = m_model->isFiltered() ? m_model->idOf(currentIndex()) : NodeStore::npos;
    m_model->endFilter();
    if (m_beforeFindValid)
        restore(m_beforeFind);
    else
        showTop();
    m_beforeFindValid = false;
    if (chosen == NodeStore::npos || chosen == m_beforeFind.current)
        return;
    // The node picked among the matches, shown in the whole tree.
    const NodeStore& tree = m_document.tree();
    for (Id p = tree.parent(chosen); p != NodeStore::npos; p = tree.parent(p))
        expand(m_model->indexOf(p));
    const QModelIndex index = m_model->indexOf(chosen);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

void NodeTreeView::openMatches()
{
    scheduleDelayedItemsLayout();
    int rows = 0;
    std::vector<std::pair<QModelIndex, int>> stack = {{QModelIndex(), 0}};
    while (!stack.empty() && rows < kOpenedRowsForFind) {
        const QModelIndex parent = stack.back().first;
        const int row = stack.back().second++;
        if (row >= m_model->rowCount(parent)) {
            stack.pop_back();
            continue;
        }
        const QModelIndex index = m_model->index(row, 0, parent);
        ++rows;
        if (m_model->hasChildren(index)) {
            expand(index);
            stack.push_back({index, 0});
        }
    }
    scrollToTop();
}

} // namespace quillmap
