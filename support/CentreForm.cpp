#include "support/GenFunctions.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillmap::GenFunctions {

bool CentreForm(QWidget* form)
{
    if (!form)
        return true;
    QScreen* screen = form->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return true;
    // Centre the whole window, frame included, once the window system knows the frame.
    const QSize size = form->isVisible() ? form->frameGeometry().size() : form->size();
    form->move(CentredPosition(size, screen->geometry()));
    return true;
}

} // namespace quillmap::GenFunctions
