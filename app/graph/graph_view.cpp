#include "graph/graph_view.h"

#include "graph/graph_cursor.h"
#include "graph/graph_texts.h"
#include "graph/graph_time.h"
#include "graph/grid_lines.h"
#include "graph/pixel_map.h"
#include "graph/series_walk.h"

#include <rangebar.h>

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

// The tooltip stays while the mouse keeps within this many pixels of where it came to rest.
constexpr int kTooltipSlack = 5;

QRect tooltipSquare(const QPoint& at)
{
    return {at.x() - kTooltipSlack, at.y() - kTooltipSlack, 2 * kTooltipSlack + 1, 2 * kTooltipSlack + 1};
}

}  // namespace

CGraphView::CGraphView(QWidget* parent) : QWidget(parent), seriesPen_(QColor(255, 0, 0), 1)
{
    setMouseTracking(true);
    // Every pixel is painted on each paint event; nothing is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(graph::thermometerCursor());
}

CGraphView::~CGraphView() = default;

GraphViewHost* CGraphView::host() const
{
    return dynamic_cast<GraphViewHost*>(parentWidget());
}

graph::GraphKind CGraphView::kind() const
{
    const GraphViewHost* h = host();
    return h != nullptr ? h->graphKind() : graph::GraphKind::Temperature;
}

void CGraphView::setTimeWindow(long start, long end, double pixelsPerMs)
{
    timeStart_ = start;
    timeEnd_ = end;
    timeCoeff_ = pixelsPerMs;
}

void CGraphView::setValueWindow(long low, long high, double pixelsPerUnit)
{
    valueLow_ = low;
    valueHigh_ = high;
    valueCoeff_ = pixelsPerUnit;
}

void CGraphView::setSeries(TermDataFile* series)
{
    series_ = series;
    summary_.clear();
}

std::optional<graph::ValueLimits> CGraphView::valueLimits(long from, long to)
{
    if (series_ == nullptr)
        return std::nullopt;
    return summary_.valueLimits(*series_, kind(), from, to);
}

QString CGraphView::FormatTime(long ms) const
{
    const platform::SystemTime* begin = series_ != nullptr ? series_->GetBeginTime() : nullptr;
    return QString::fromStdString(graph::formatTime(ms, clockTime_, begin));
}

void CGraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    const GraphViewHost* h = host();
    if (h == nullptr || h->temperatureRuler() == nullptr || h->timeRuler() == nullptr)
        return;
    drawGrid(painter, *h->temperatureRuler(), *h->timeRuler());
    DrawSeries(painter);
}

// Rows anchored at the bottom edge, columns at the left, all in the
// temperature ruler's pens' colours: dark for big steps, light for small
// ones. Each line is one pixel wide and filled as a rectangle, which Qt does
// much faster than it strokes a vertical line row by row.
void CGraphView::drawGrid(QPainter& painter, const CRangeBar& values, const CRangeBar& times) const
{
    const int w = width();
    const int h = height();
    const graph::GridLines rows = graph::gridLines(values.GetBigStep(), values.GetSmallStep(), h + 1);
    const graph::GridLines columns = graph::gridLines(times.GetBigStep(), times.GetSmallStep(), w);
    const QColor dark = values.GetPen(PC_DARK)->color();
    const QColor light = values.GetPen(PC_LIGHT)->color();
    const auto fillRows = [&](const std::vector<int>& offsets, const QColor& color) {
        for (int offset : offsets)
            painter.fillRect(QRect(0, h - offset, w, 1), color);
    };
    const auto fillColumns = [&](const std::vector<int>& offsets, const QColor& color) {
        for (int offset : offsets)
            painter.fillRect(QRect(offset, 0, 1, h), color);
    };
    fillRows(rows.big, dark);
    fillRows(rows.small, light);
    fillColumns(columns.big, dark);
    fillColumns(columns.small, light);
}

void CGraphView::DrawSeries(QPainter& painter)
{
    const GraphViewHost* h = host();
    if (series_ == nullptr || h == nullptr || h->temperatureRuler() == nullptr || h->timeRuler() == nullptr)
        return;
    const CRangeBar& values = *h->temperatureRuler();
    const CRangeBar& times = *h->timeRuler();
    graph::SeriesScale scale;
    scale.walkFrom = timeStart_;
    scale.timeMin = times.GetWinMin();
    scale.timeMax = times.GetWinMax();
    scale.timeCoeff = times.GetWinCoeff();
    scale.valueMin = values.GetWinMin();
    scale.valueCoeff = values.GetWinCoeff();
    scale.height = height();
    summary_.update(*series_, scale, h->graphKind(), breakAtGaps_);
    segments_.clear();
    summary_.segments(segments_);
    graph::splitStrokes(segments_, width(), height(), strokes_);
    lines_.resize(static_cast<int>(strokes_.lines.size()));
    for (std::size_t i = 0; i < strokes_.lines.size(); ++i) {
        const graph::Segment& s = strokes_.lines[i];
        lines_[static_cast<int>(i)] = QLine(s.x1, s.y1, s.x2, s.y2);
    }
    const QPen previous = painter.pen();
    painter.setPen(seriesPen_);
    painter.drawLines(lines_);
    painter.setPen(previous);
    const QColor color = seriesPen_.color();
    for (const graph::Span& span : strokes_.spans)
        painter.fillRect(QRect(span.x, span.top, 1, span.bottom - span.top + 1), color);
}

void CGraphView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (GraphViewHost* h = host()) {
        const long t = graph::timeAtX(at.x(), timeCoeff_, timeStart_);
        const long v = graph::valueAtY(at.y(), height(), valueCoeff_, valueLow_);
        h->setPaneText(0, QString::fromStdString(graph::valuePaneText(h->graphKind(), v)));
        h->setPaneText(1, QString::fromStdString(graph::timePaneText(FormatTime(t).toStdString())));
    }
    // The tooltip belongs to where the mouse came to rest; it goes when the
    // mouse leaves that place and comes back with a new text after the hover delay.
    const QRect square = lastMouse_.isNull() ? rect() : tooltipSquare(lastMouse_);
    lastMouse_ = at;
    if (!square.contains(at))
        QToolTip::hideText();
}

void CGraphView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        if (GraphViewHost* h = host()) {
            h->viewRightClicked(event->globalPosition().toPoint());
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

QString CGraphView::tooltipText() const
{
    if (series_ == nullptr)
        return {};
    const long t = graph::timeAtX(lastMouse_.x(), timeCoeff_, timeStart_);
    const v4TermData* record = series_->GetFirst(t);
    if (record == nullptr)
        return {};
    return QString::fromStdString(
        graph::tooltipText(kind(), *record, FormatTime(t).toStdString(), series_->GetECoeff()));
}

bool CGraphView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    lastMouse_ = help->pos();
    const QString text = tooltipText();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), text, this, tooltipSquare(lastMouse_));
    // Qt's tooltips share one palette; the graph's own is light cyan, given to
    // the label now shown, so that the program's other tooltips keep theirs.
    for (QWidget* label : QApplication::topLevelWidgets()) {
        if (label->inherits("QTipLabel") && label->isVisible()) {
            QPalette own = label->palette();
            own.setColor(QPalette::ToolTipBase, tooltipColor());
            label->setPalette(own);
        }
    }
    return true;
}
