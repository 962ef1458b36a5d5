#include "graph/graph_cursor.h"

#include <QPainter>
#include <QPixmap>

namespace graph {

QCursor thermometerCursor()
{
    constexpr int size = 32;
    constexpr int centre = 15;
    QPixmap image(size, size);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // The crosshair, with a white outline so that it shows on dark lines too.
    p.setPen(QPen(Qt::white, 3));
    p.drawLine(centre, 3, centre, 27);
    p.drawLine(3, centre, 27, centre);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(centre, 3, centre, 27);
    p.drawLine(3, centre, 27, centre);
    // The thermometer in the upper right quarter, clear of the crosshair: a
    // tube with scale marks and a red bulb.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRect(22, 1, 4, 8), 2, 2);
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QRect(20, 7, 7, 6));
    p.fillRect(QRect(23, 4, 2, 5), QColor(220, 0, 0));
    for (int y = 2; y <= 6; y += 2)
        p.drawPoint(20, y);
    p.end();
    return QCursor(image, centre, centre);
}

}  // namespace graph
