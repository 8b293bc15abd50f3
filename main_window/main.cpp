#include "main_window/FormMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    quillmap::FormMain window;
    window.show();
    return app.exec();
}
