#include "main_window/FindBar.h"

#include "main_window/NodeModel.h"
#include "main_window/NodeTreeView.h"
#include "support/LangFunctions.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

namespace quillmap {

using LangFunctions::MessageText;

FindBar::FindBar(NodeTreeView& view, QWidget* parent)
    : QFrame(parent), m_view(view), m_text(new QLineEdit(this)), m_count(new QLabel(this)),
      m_close(new QToolButton(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setAutoFillBackground(true);
    m_text->setObjectName(QStringLiteral("FindText"));
    m_text->setPlaceholderText(MessageText(147, "Find in names"));
    m_text->setClearButtonEnabled(true);
    m_text->installEventFilter(this);
    m_count->setObjectName(QStringLiteral("FindCount"));
    m_count->setTextFormat(Qt::PlainText);
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_close->setAutoRaise(true);
    m_close->setToolTip(MessageText(151, "Close the find box and show the whole tree (Esc)"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    row->addWidget(m_text, 1);
    row->addWidget(m_count);
    row->addWidget(m_close);
    connect(m_text, &QLineEdit::textChanged, this, &FindBar::textChanged);
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    connect(&view.nodeModel(), &NodeModel::filterApplied, this, &FindBar::showCount);
    view.installEventFilter(this);
    hide();
}

void FindBar::open()
{
    if (!isVisible()) {
        m_view.beginFind();
        m_count->clear();
        follow();
        show();
        raise();
    }
    m_text->setFocus();
    m_text->selectAll();
}

void FindBar::close()
{
    if (!isVisible())
        return;
    {
        const QSignalBlocker quiet(m_text);
        m_text->clear();
    }
    // The tree takes the focus only once it is whole again: a view focused without a current
    // node makes its first one current, which would count as picked among the matches.
    m_view.endFind();
    m_view.setFocus();
    hide();
}

void FindBar::textChanged(const QString& text)
{
    const std::size_t matches = m_view.find(text);
    if (text.isEmpty())
        m_count->clear();
    else
        showCount(matches);
    follow();
}

void FindBar::showCount(std::size_t matches)
{
    if (matches == 0)
        m_count->setText(MessageText(148, "No matches"));
    else if (matches == 1)
        m_count->setText(MessageText(149, "1 match"));
    else
        m_count->setText(
            MessageText(150, "%1 matches").arg(QLocale().toString(qulonglong(matches))));
}

QString FindBar::countText() const
{
    return m_count->text();
}

void FindBar::follow()
{
    // Over the view's top right corner, below its header and left of its scroll bar.
    QRect area = m_view.geometry();
    if (m_view.verticalScrollBar()->isVisible())
        area.setRight(area.right() - m_view.verticalScrollBar()->width());
    const int top = area.top() + (m_view.isHeaderHidden() ? 0 : m_view.header()->height()) + 2;
    const int width = std::min(area.width() - 4, std::max(220, sizeHint().width()));
    setGeometry(area.right() - width - 1, top, width, sizeHint().height());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_view && (event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
        isVisible())
        follow();
    if (watched == &m_view && event->type() == QEvent::KeyPress && isVisible() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
            // On to the matches.
            m_view.setFocus();
            if (!m_view.currentIndex().isValid())
                m_view.setCurrentIndex(m_view.model()->index(0, 0));
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace quillmap
