#include "platform/controls/WaitCursor.h"

#include <QApplication>

namespace quillmap {

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    restore();
}

void WaitCursor::restore()
{
    if (m_on)
        QApplication::restoreOverrideCursor();
    m_on = false;
}

} // namespace quillmap
