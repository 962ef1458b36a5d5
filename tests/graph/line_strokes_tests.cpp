// The view's strokes: the series' segments drawn as spans down the columns
// and the rest as lines give the very pixels of every segment drawn as a line
// with the series pen, whatever the segments (up, down, flat, touching,
// overlapping, beyond the view's edges). The property holds Qt's raster
// engine to the way the strokes expect it to draw a step to the next column.
#include "graph/line_strokes.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <gtest/gtest.h>
// RapidCheck's GoogleTest glue expects GoogleTest to be there first.
#include <rapidcheck/gtest.h>

#include <vector>

namespace {

using graph::Segment;

constexpr int kWidth = 40;
constexpr int kHeight = 30;
const QColor kRed(255, 0, 0);

QImage blank()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(253, 253, 210));
    return image;
}

QImage asLines(const std::vector<Segment>& segments)
{
    QImage image = blank();
    QPainter painter(&image);
    painter.setPen(QPen(kRed, 1));
    for (const Segment& s : segments)
        painter.drawLine(s.x1, s.y1, s.x2, s.y2);
    return image;
}

QImage asStrokes(const std::vector<Segment>& segments)
{
    graph::LineStrokes strokes;
    graph::splitStrokes(segments, kWidth, kHeight, strokes);
    QImage image = blank();
    QPainter painter(&image);
    painter.setPen(QPen(kRed, 1));
    for (const Segment& s : strokes.lines)
        painter.drawLine(s.x1, s.y1, s.x2, s.y2);
    for (const graph::Span& span : strokes.spans)
        painter.fillRect(QRect(span.x, span.top, 1, span.bottom - span.top + 1), kRed);
    return image;
}

// Mostly a few columns and rows, so that strokes meet, touch and miss by a
// row; sometimes anywhere in and around the view, or far beyond it.
rc::Gen<int> coordinate(int size)
{
    return rc::gen::weightedOneOf<int>({{8, rc::gen::inRange(3, 9)},
                                        {4, rc::gen::inRange(-2, size + 2)},
                                        {1, rc::gen::inRange(-100000, 100000)}});
}

// Segments as the column merge makes them: mostly strokes down one column,
// the rest steps to another column.
rc::Gen<Segment> segment()
{
    return rc::gen::apply(
        [](int x1, int y1, int step, int y2) { return Segment{x1, y1, x1 + step, y2}; }, coordinate(kWidth),
        coordinate(kHeight), rc::gen::weightedOneOf<int>({{3, rc::gen::just(0)}, {2, rc::gen::inRange(-3, 4)}}),
        coordinate(kHeight));
}

RC_GTEST_PROP(LineStrokes, LinesAndSpansPaintThePixelsOfTheSegmentsAsLines, ())
{
    const auto segments = *rc::gen::container<std::vector<Segment>>(segment());
    RC_ASSERT(asStrokes(segments) == asLines(segments));
}

TEST(LineStrokes, StrokesDownOneColumnThatTouchBecomeOneSpanTheOthersStayLines)
{
    graph::LineStrokes strokes;
    // Into column 5 from row 10, down to 8 and up to 20; a stroke two rows
    // further; one below the view; a step on to column 6, one to column 9,
    // one from beyond the view's edge.
    graph::splitStrokes({{4, 10, 5, 12}, {5, 12, 5, 8}, {5, 8, 5, 20}, {5, 22, 5, 25}, {5, 40, 5, 60}, {5, 25, 6, 9},
                         {6, 9, 9, 9}, {39, 9, 40, 9}},
                        40, 30, strokes);
    EXPECT_EQ(strokes.lines, (std::vector<Segment>{{6, 9, 9, 9}, {39, 9, 40, 9}}));
    EXPECT_EQ(strokes.spans, (std::vector<graph::Span>{{4, 10, 11}, {5, 8, 20}, {5, 10, 25}, {6, 9, 9}}));
}

}  // namespace
