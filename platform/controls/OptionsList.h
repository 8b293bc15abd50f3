#pragma once

#include <QString>
#include <QTreeWidget>

namespace quillmap {

// A list view in report layout with a check box on each row (the scan's options list). Items
// and columns carry keys; items are addressed by their 1-based index, as the scan reads them.
//
// Contract: itemCheck(index) is emitted whenever the tick of one item changes, by the user or
// by setChecked(), and only then (a change of text or of anything else emits nothing). A handler
// may change ticks from inside itemCheck; each change emits its own itemCheck.
class OptionsList : public QTreeWidget
{
    Q_OBJECT
public:
    explicit OptionsList(QWidget* parent = nullptr);

    // Removes every item (the columns stay).
    void clearItems();
    // Replaces the columns with one column (the list has one): key, heading, width in twips.
    void setColumn(const QString& key, const QString& heading, int widthTwips);
    QString columnKey() const;
    QString columnHeading() const;
    int columnWidthTwips() const { return m_columnWidthTwips; }

    // Adds an unticked item at the end; returns its 1-based index. Where the item's text would
    // not read in full in the column, the list takes a smaller font, half a point at a time.
    int addItem(const QString& key, const QString& text);
    int itemCount() const { return topLevelItemCount(); }
    QString itemKey(int index) const;
    QString itemText(int index) const;
    bool isChecked(int index) const;
    void setChecked(int index, bool checked);

signals:
    void itemCheck(int index);

private:
    void onItemChanged(QTreeWidgetItem* item, int column);
    QTreeWidgetItem* itemAt1(int index) const;
    void fitTextsToColumn();

    QString m_columnKey;
    int m_columnWidthTwips = 0;
};

} // namespace quillmap
