#include "graph/page_painter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTransform>

#include <cmath>

PagePainter::PagePainter(QPainter& painter, double devicePerUnit)
    : painter_(painter), scale_(devicePerUnit), pen_(painter.pen()), font_(painter.font())
{
}

void PagePainter::setPen(const QPen& pen)
{
    pen_ = pen;
}

void PagePainter::setFont(const QFont& font)
{
    font_ = font;
}

// Lines: units to device pixels with y turned over, as the page counts upwards.
void PagePainter::useLineTransform()
{
    painter_.setTransform(QTransform(scale_, 0, 0, -scale_, 0, 0));
    painter_.setPen(pen_);
    painter_.setBrush(Qt::NoBrush);
}

// Text: the same scale without turning y over, so that glyphs stand upright;
// a point (x, y) of the page is (x, -y) here.
void PagePainter::useTextTransform()
{
    painter_.setTransform(QTransform(scale_, 0, 0, scale_, 0, 0));
    painter_.setFont(font_);
    painter_.setPen(QPen(Qt::black));
}

void PagePainter::line(int x1, int y1, int x2, int y2)
{
    useLineTransform();
    painter_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PagePainter::lines(const QVector<QLine>& lines)
{
    useLineTransform();
    painter_.drawLines(lines);
}

void PagePainter::rectangle(int left, int top, int right, int bottom)
{
    useLineTransform();
    painter_.drawRect(QRectF(QPointF(left, bottom), QPointF(right, top)));
}

QSize PagePainter::textExtent(const QString& text) const
{
    const QFontMetricsF metrics(font_);
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text))),
            static_cast<int>(std::ceil(metrics.height()))};
}

void PagePainter::text(int x, int y, const QString& text)
{
    useTextTransform();
    painter_.drawText(QPointF(x, -y + QFontMetricsF(font_).ascent()), text);
}

void PagePainter::textReadingDown(int x, int y, const QString& text)
{
    useTextTransform();
    painter_.translate(x, -y);
    painter_.rotate(90);
    painter_.drawText(QPointF(0, QFontMetricsF(font_).ascent()), text);
}
