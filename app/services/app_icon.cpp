#include "services/app_icon.h"

#include <QPainter>
#include <QPixmap>

QPixmap applicationIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // A pyrometer's lens looking at a glowing spot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 60, 90));
    p.drawRoundedRect(QRectF(s * 0.05, s * 0.30, s * 0.55, s * 0.40), s * 0.08, s * 0.08);
    p.setBrush(QColor(120, 170, 220));
    p.drawEllipse(QRectF(s * 0.50, s * 0.33, s * 0.18, s * 0.34));
    QRadialGradient glow(QPointF(s * 0.85, s * 0.5), s * 0.15);
    glow.setColorAt(0, QColor(255, 240, 120));
    glow.setColorAt(1, QColor(230, 60, 20));
    p.setBrush(glow);
    p.drawEllipse(QPointF(s * 0.85, s * 0.5), s * 0.13, s * 0.13);
    return pixmap;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(applicationIconPixmap(size));
    return icon;
}
