#include "platform/controls/OptionsList.h"

#include "platform/controls/Twips.h"

#include <QHeaderView>

#include <algorithm>

namespace quillmap {

namespace {
// The tick as last reported, so that itemChanged for other data doesn't count as a check.
constexpr int kLastCheckRole = Qt::UserRole + 1;
constexpr int kKeyRole = Qt::UserRole;
} // namespace

OptionsList::OptionsList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    setColumnCount(0);
    connect(this, &QTreeWidget::itemChanged, this, &OptionsList::onItemChanged);
}

void OptionsList::clearItems()
{
    clear();
}

void OptionsList::setColumn(const QString& key, const QString& heading, int widthTwips)
{
    setColumnCount(1);
    setHeaderLabels({heading});
    m_columnKey = key;
    m_columnWidthTwips = widthTwips;
    setColumnWidth(0, twipsToPixels(widthTwips));
}

QString OptionsList::columnKey() const
{
    return m_columnKey;
}

QString OptionsList::columnHeading() const
{
    return columnCount() > 0 ? headerItem()->text(0) : QString();
}

int OptionsList::addItem(const QString& key, const QString& text)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, kKeyRole, key);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                   Qt::ItemNeverHasChildren);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, kLastCheckRole, false);
    // Added before the item joins the list, so no itemChanged is emitted for the set-up.
    addTopLevelItem(item);
    fitTextsToColumn();
    return topLevelItemCount();
}

void OptionsList::fitTextsToColumn()
{
    // The column keeps its width in twips whatever the desktop's font; the texts give way.
    constexpr double kSmallestPointSize = 6;
    if (columnCount() == 0)
        return;
    const auto widest = [this] {
        int width = 0;
        for (int row = 0; row < topLevelItemCount(); ++row)
            width = std::max(width, sizeHintForIndex(model()->index(row, 0)).width());
        return width;
    };
    QFont smaller = font();
    while (smaller.pointSizeF() - 0.5 >= kSmallestPointSize && widest() > columnWidth(0)) {
        smaller.setPointSizeF(smaller.pointSizeF() - 0.5);
        setFont(smaller);
    }
}

QTreeWidgetItem* OptionsList::itemAt1(int index) const
{
    return index >= 1 && index <= topLevelItemCount() ? topLevelItem(index - 1) : nullptr;
}

QString OptionsList::itemKey(int index) const
{
    const QTreeWidgetItem* item = itemAt1(index);
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QString OptionsList::itemText(int index) const
{
    const QTreeWidgetItem* item = itemAt1(index);
    return item ? item->text(0) : QString();
}

bool OptionsList::isChecked(int index) const
{
    const QTreeWidgetItem* item = itemAt1(index);
    return item && item->checkState(0) == Qt::Checked;
}

void OptionsList::setChecked(int index, bool checked)
{
    if (QTreeWidgetItem* item = itemAt1(index))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void OptionsList::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (column != 0 || !item)
        return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->data(0, kLastCheckRole).toBool() == checked)
        return;
    {
        // Recording the tick changes the item again; that change is no check.
        const QSignalBlocker block(this);
        item->setData(0, kLastCheckRole, checked);
    }
    emit itemCheck(indexOfTopLevelItem(item) + 1);
}

} // namespace quillmap
