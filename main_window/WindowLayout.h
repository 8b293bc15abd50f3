#pragma once

#include <QObject>
#include <QRect>

#include <vector>

class QWidget;

namespace quillmap {

class ColumnSplitter;

// Places the main window's controls: at the described client size each at its described
// place, given in twips; larger, the tree view takes the extra width and height, the right-hand
// column keeps to the right edge with its options list taking the extra height, and the bars
// keep to the top and bottom edges. The splitter between the tree and the column widens the
// column at the tree's cost (never below its described width, nor the tree below a minimum).
//
// Contract: the client must outlive this object, and may not be made smaller than
// describedSize() (the layout sets its minimum size). The controls are placed again whenever
// the client is resized or the splitter moved.
class WindowLayout : public QObject
{
    Q_OBJECT
public:
    enum Grow
    {
        TopBar,      // the window's width, along the top edge
        BottomBar,   // the window's width, along the bottom edge
        Tree,        // the extra width and height
        Column,      // keeps to the right edge; wider with the column
        ColumnLabel, // keeps to the right edge
        ColumnList,  // keeps to the right edge; wider with the column, the extra height
    };

    WindowLayout(QWidget& client, QSize describedTwips);

    // `widget` (a child of the client) at `twips` at the described size, growing as `grow`.
    void add(QWidget* widget, QRect twips, Grow grow);
    // The splitter's handle fills the gap between the Tree and the column (the first Column).
    void addSplitter(ColumnSplitter* handle);

    QSize describedSize() const { return m_described; }
    // How much wider than described the user made the column, in pixels.
    int columnExtra() const { return m_columnExtra; }
    void setColumnExtra(int pixels);

    void place();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Item
    {
        QWidget* widget;
        QRect pixels;
        Grow grow;
    };
    // The column's extra width as far as the tree lets it at the client's width.
    int fittedExtra() const;

    QWidget& m_client;
    QSize m_described;
    std::vector<Item> m_items;
    ColumnSplitter* m_splitter = nullptr;
    int m_columnExtra = 0;
    int m_extraAtDragStart = 0;
};

} // namespace quillmap
