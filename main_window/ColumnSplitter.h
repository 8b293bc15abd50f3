#pragma once

#include <QWidget>

namespace quillmap {

// The handle between the tree view and the right-hand column: dragged sideways, it tells how
// far from where the drag began.
class ColumnSplitter : public QWidget
{
    Q_OBJECT
public:
    explicit ColumnSplitter(QWidget* parent = nullptr);

signals:
    void dragStarted();
    // The pointer is `dx` pixels right (negative: left) of where the drag began.
    void dragged(int dx);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_pressX = 0;
    bool m_dragging = false;
};

} // namespace quillmap
