#pragma once

#include <QImage>
#include <QList>

#include <functional>

class QPainter;
class QToolBar;

namespace quillmap {

// The toolbar's image list: three 32 x 32 pictures of our own, drawn in code so nothing has to
// be shipped beside the program. Image 1 is exit, 2 search, 3 print (the image list's 1-based
// order); any other index gives a null image.
class ToolbarImages
{
public:
    static constexpr int kCount = 3;
    static constexpr int kSize = 32;

    static QImage image(int index);

    // Fills the main window's toolbar: positions 1 to 5, separators included, with the exit,
    // search and print buttons (`images` in the image list's order), each click reported with
    // its position.
    static void fill(QToolBar& bar, const QList<QImage>& images,
                     const std::function<void(int position)>& clicked);

private:
    static void drawExit(QPainter& p);
    static void drawSearch(QPainter& p);
    static void drawPrint(QPainter& p);
};

} // namespace quillmap
