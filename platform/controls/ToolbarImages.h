#pragma once

#include <QImage>

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

private:
    static void drawExit(QPainter& p);
    static void drawSearch(QPainter& p);
    static void drawPrint(QPainter& p);
};

} // namespace quillmap
