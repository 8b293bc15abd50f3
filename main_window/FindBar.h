#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QToolButton;

namespace quillmap {

class NodeTreeView;

// The find box over the tree view (Ctrl+F): as the user types, the tree keeps only the nodes
// whose name holds the text and the folders that lead to them, and the box counts the matches;
// Esc or its close button shows the whole tree again where it was.
//
// Contract: the view must outlive the box, which is a sibling of the view placed over its top
// right corner and kept there as the view moves or grows.
class FindBar : public QFrame
{
    Q_OBJECT
public:
    FindBar(NodeTreeView& view, QWidget* parent);

    void open();
    // Ends the find: the whole tree where it was.
    void close();
    bool isOpen() const { return isVisible(); }

    QLineEdit* textBox() const { return m_text; }
    QString countText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textChanged(const QString& text);
    void showCount(std::size_t matches);
    void follow();

    NodeTreeView& m_view;
    QLineEdit* m_text;
    QLabel* m_count;
    QToolButton* m_close;
};

} // namespace quillmap
