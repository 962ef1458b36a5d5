// Drawing on a printed page in 0.1 mm units with y growing upwards, the way
// the page's layout is computed: lines in the current pen, texts placed by
// the top-left corner of their cell and measured in the same units. Fonts are
// given with their pixel size in 0.1 mm.
#pragma once

#include <QFont>
#include <QLine>
#include <QPen>
#include <QSize>
#include <QString>
#include <QVector>

class QPainter;

class PagePainter {
public:
    // `devicePerUnit`: device pixels per 0.1 mm; the painter's origin is the
    // page's top-left corner.
    PagePainter(QPainter& painter, double devicePerUnit);

    void setPen(const QPen& pen);
    const QPen& pen() const { return pen_; }
    void setFont(const QFont& font);
    const QFont& font() const { return font_; }

    void line(int x1, int y1, int x2, int y2);
    void lines(const QVector<QLine>& lines);
    void rectangle(int left, int top, int right, int bottom);
    // The extent of `text` in the current font: width x height.
    QSize textExtent(const QString& text) const;
    // `text` with the top-left corner of its cell at (x, y).
    void text(int x, int y, const QString& text);
    // `text` turned by 90 degrees to read downwards, turned about the
    // top-left corner of its cell at (x, y).
    void textReadingDown(int x, int y, const QString& text);

private:
    void useLineTransform();
    void useTextTransform();

    QPainter& painter_;
    double scale_;
    QPen pen_;
    QFont font_;
};
