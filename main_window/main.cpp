#include "main_window/FormMain.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and show the program's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmap-printer"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("quillmap-printer"));
    if (icon.isNull()) {
        icon.addFile(QStringLiteral(":/icons/quillmap-printer-64.png"));
        icon.addFile(QStringLiteral(":/icons/quillmap-printer-256.png"));
    }
    QApplication::setWindowIcon(icon);
    quillmap::FormMain window;
    window.show();
    return app.exec();
}
