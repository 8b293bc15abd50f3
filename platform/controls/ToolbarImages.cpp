#include "platform/controls/ToolbarImages.h"

#include "support/LangFunctions.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolBar>

namespace quillmap {

namespace {

// The toolbar's positions, separators included; a click is told by its place. Names and tool
// tips in the user's language, by message number.
struct ToolbarButton
{
    bool separator;
    int nameMessage;
    const char* name;
    int toolTipMessage;
    const char* toolTip;
    int image; // 1-based index into the image list
};
constexpr ToolbarButton kToolbarButtons[] = {
    {true, 0, nullptr, 0, nullptr, 0},
    {false, 139, "Exit", 140, "Exit the system", 1},
    {true, 0, nullptr, 0, nullptr, 0},
    {false, 53, "Search", 141, "Search for files", 2},
    {false, 49, "Print", 142, "Print the directory tree", 3},
};

} // namespace

void ToolbarImages::fill(QToolBar& bar, const QList<QImage>& images,
                         const std::function<void(int position)>& clicked)
{
    bar.setMovable(false);
    bar.setFloatable(false);
    bar.setIconSize(QSize(kSize, kSize));
    bar.setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    int position = 0;
    for (const ToolbarButton& button : kToolbarButtons) {
        ++position;
        QAction* action = nullptr;
        if (button.separator) {
            action = bar.addSeparator();
        } else {
            action = bar.addAction(QIcon(QPixmap::fromImage(images.value(button.image - 1))),
                                   LangFunctions::MessageText(button.nameMessage, button.name));
            action->setToolTip(LangFunctions::MessageText(button.toolTipMessage, button.toolTip));
        }
        QObject::connect(action, &QAction::triggered, &bar,
                         [clicked, position] { clicked(position); });
    }
}

QImage ToolbarImages::image(int index)
{
    if (index < 1 || index > kCount)
        return {};
    QImage img(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 1:
        drawExit(p);
        break;
    case 2:
        drawSearch(p);
        break;
    default:
        drawPrint(p);
        break;
    }
    return img;
}

// An open door with an arrow leading out of it.
void ToolbarImages::drawExit(QPainter& p)
{
    const QColor frame(90, 60, 30);
    p.setPen(QPen(frame, 1.5));
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(QRectF(4.5, 3.5, 15, 25)); // door frame
    QPainterPath door;                    // the door leaf, swung open towards the viewer
    door.moveTo(4.5, 3.5);
    door.lineTo(13.5, 6.5);
    door.lineTo(13.5, 30.5);
    door.lineTo(4.5, 28.5);
    door.closeSubpath();
    p.setBrush(QColor(170, 110, 50));
    p.drawPath(door);
    p.setBrush(QColor(240, 200, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(11.5, 18), 1.3, 1.3); // handle

    QPainterPath arrow;
    arrow.moveTo(15, 14);
    arrow.lineTo(23, 14);
    arrow.lineTo(23, 9);
    arrow.lineTo(31, 17);
    arrow.lineTo(23, 25);
    arrow.lineTo(23, 20);
    arrow.lineTo(15, 20);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(120, 20, 20), 1));
    p.setBrush(QColor(210, 40, 40));
    p.drawPath(arrow);
}

// A magnifying glass over a folder.
void ToolbarImages::drawSearch(QPainter& p)
{
    QPainterPath folder;
    folder.moveTo(1.5, 8.5);
    folder.lineTo(9.5, 8.5);
    folder.lineTo(11.5, 11.5);
    folder.lineTo(24.5, 11.5);
    folder.lineTo(24.5, 27.5);
    folder.lineTo(1.5, 27.5);
    folder.closeSubpath();
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(245, 205, 90));
    p.drawPath(folder);

    p.setPen(QPen(QColor(60, 60, 70), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 22), QPointF(29.5, 29.5)); // handle
    p.setPen(QPen(QColor(40, 40, 50), 2.5));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(QPointF(17, 16), 8, 8); // lens
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 11, 10, 10), 100 * 16, 70 * 16); // glint
}

// A printer with a sheet coming out of it.
void ToolbarImages::drawPrint(QPainter& p)
{
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 2.5, 15, 10)); // sheet going in

    p.setPen(QPen(QColor(50, 50, 60), 1.2));
    p.setBrush(QColor(150, 155, 165));
    p.drawRoundedRect(QRectF(2.5, 11.5, 27, 12), 2, 2); // body
    p.setBrush(QColor(90, 95, 105));
    p.drawRect(QRectF(6.5, 19.5, 19, 3)); // paper slot
    p.setBrush(QColor(60, 200, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(25.5, 15), 1.5, 1.5); // power light

    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 21.5, 15, 9)); // printed sheet coming out
    p.setPen(QPen(QColor(60, 60, 60), 1));
    for (int y = 24; y <= 28; y += 2)
        p.drawLine(QPointF(10.5, y + 0.5), QPointF(21.5, y + 0.5));
}

} // namespace quillmap
