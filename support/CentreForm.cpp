#include "support/GenFunctions.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace quillmap::GenFunctions {

namespace {

// The frame the window manager puts around a window of this program, as one that is shown
// already (the parent's window first) has it; none when no such window is known.
QMargins knownFrameMargins(const QWidget* form)
{
    QList<QWidget*> candidates;
    if (form->parentWidget())
        candidates << form->parentWidget()->window();
    candidates << QApplication::topLevelWidgets();
    for (const QWidget* window : candidates) {
        if (window == form || !window->isVisible() || !window->windowHandle())
            continue;
        const QMargins margins = window->windowHandle()->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    return {};
}

} // namespace

bool CentreForm(QWidget* form)
{
    if (!form)
        return true;
    QScreen* screen = form->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return true;
    // Centre the whole window, frame included. Before a window is first shown the window system
    // has not told its frame yet; the frame of a window already shown stands in for it.
    QSize size = form->frameGeometry().size();
    if (!form->isVisible() || size == form->size())
        size = form->size().grownBy(knownFrameMargins(form));
    form->move(CentredPosition(size, screen->geometry()));
    return true;
}

} // namespace quillmap::GenFunctions
