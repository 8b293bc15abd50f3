#include "main_window/ColumnSplitter.h"

#include <QMouseEvent>
#include <QStyleOption>
#include <QStylePainter>

namespace quillmap {

ColumnSplitter::ColumnSplitter(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::NoFocus);
}

void ColumnSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressX = qRound(event->globalPosition().x());
    m_dragging = true;
    emit dragStarted();
}

void ColumnSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        emit dragged(qRound(event->globalPosition().x()) - m_pressX);
}

void ColumnSplitter::paintEvent(QPaintEvent*)
{
    // Drawn as the style draws a splitter's handle.
    QStylePainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    painter.drawControl(QStyle::CE_Splitter, option);
}

} // namespace quillmap
