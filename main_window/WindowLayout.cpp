#include "main_window/WindowLayout.h"

#include "main_window/ColumnSplitter.h"
#include "platform/controls/Twips.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace quillmap {

namespace {

// The narrowest the splitter makes the tree view, in pixels.
constexpr int kSmallestTreeWidth = 96;

QRect toPixels(QRect twips)
{
    return {twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
            twipsToPixels(twips.height())};
}

} // namespace

WindowLayout::WindowLayout(QWidget& client, QSize describedTwips)
    : QObject(&client), m_client(client),
      m_described(twipsToPixels(describedTwips.width()), twipsToPixels(describedTwips.height()))
{
    m_client.setMinimumSize(m_described);
    m_client.installEventFilter(this);
}

void WindowLayout::add(QWidget* widget, QRect twips, Grow grow)
{
    m_items.push_back({widget, toPixels(twips), grow});
    place();
}

void WindowLayout::addSplitter(ColumnSplitter* handle)
{
    m_splitter = handle;
    connect(handle, &ColumnSplitter::dragStarted, this,
            [this] { m_extraAtDragStart = fittedExtra(); });
    connect(handle, &ColumnSplitter::dragged, this,
            [this](int dx) { setColumnExtra(m_extraAtDragStart - dx); });
    place();
}

void WindowLayout::setColumnExtra(int pixels)
{
    m_columnExtra = std::max(0, pixels);
    place();
}

int WindowLayout::fittedExtra() const
{
    const auto tree = std::find_if(m_items.begin(), m_items.end(),
                                   [](const Item& item) { return item.grow == Tree; });
    if (tree == m_items.end())
        return 0;
    const int dx = std::max(0, m_client.width() - m_described.width());
    const int room = tree->pixels.width() + dx - kSmallestTreeWidth;
    return std::clamp(m_columnExtra, 0, std::max(0, room));
}

void WindowLayout::place()
{
    const int width = std::max(m_client.width(), m_described.width());
    const int height = std::max(m_client.height(), m_described.height());
    const int dx = width - m_described.width();
    const int dy = height - m_described.height();
    const int extra = fittedExtra();
    QRect tree, column;
    for (const Item& item : m_items) {
        QRect r = item.pixels;
        switch (item.grow) {
        case TopBar:
            r.setWidth(width);
            break;
        case BottomBar:
            r = QRect(0, height - r.height(), width, r.height());
            break;
        case Tree:
            r.setSize(r.size() + QSize(dx - extra, dy));
            tree = r;
            break;
        case Column:
        case ColumnLabel:
        case ColumnList:
            r.translate(dx - extra, 0);
            if (item.grow != ColumnLabel)
                r.setWidth(r.width() + extra);
            if (item.grow == ColumnList)
                r.setHeight(r.height() + dy);
            if (column.isNull() && item.grow == Column)
                column = r;
            break;
        }
        item.widget->setGeometry(r);
    }
    if (m_splitter && tree.isValid() && column.isValid())
        m_splitter->setGeometry(tree.right() + 1, tree.top(), column.left() - tree.right() - 1,
                                tree.height());
}

bool WindowLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_client && event->type() == QEvent::Resize)
        place();
    return QObject::eventFilter(watched, event);
}

} // namespace quillmap
