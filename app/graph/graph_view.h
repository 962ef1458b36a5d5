// CGraphView: the middle of a graph window. Draws the series as a red line
// over a grid, time to the right and value upwards, with the numbers of the
// window's two rulers; maps the mouse back to time and value for two status
// panes and a tooltip; forwards right clicks to the window.
#pragma once

#include "graph/column_summary.h"
#include "graph/graph_kind.h"
#include "graph/line_strokes.h"
#include "graph/polyline_builder.h"

#include <kcmb.h>

#include <QLine>
#include <QPen>
#include <QPoint>
#include <QString>
#include <QVector>
#include <QWidget>

#include <optional>
#include <vector>

class CRangeBar;

// What the view reads and writes through the window it lives in. A view
// whose parent is no host paints its background alone.
class GraphViewHost {
public:
    virtual graph::GraphKind graphKind() const = 0;
    virtual CRangeBar* temperatureRuler() const = 0;
    virtual CRangeBar* timeRuler() const = 0;
    // Status bar pane 0 (value) or 1 (time).
    virtual void setPaneText(int pane, const QString& text) = 0;
    virtual void viewRightClicked(const QPoint& globalPos) = 0;

protected:
    ~GraphViewHost() = default;
};

class CGraphView : public QWidget {
    Q_OBJECT

public:
    explicit CGraphView(QWidget* parent = nullptr);
    ~CGraphView() override;

    // Copies of the rulers' windows and coefficients, kept by the window:
    // they serve the mouse texts and the start of the series walk.
    void setTimeWindow(long start, long end, double pixelsPerMs);
    void setValueWindow(long low, long high, double pixelsPerUnit);
    long timeWindowStart() const { return timeStart_; }
    long timeWindowEnd() const { return timeEnd_; }
    double timeCoeff() const { return timeCoeff_; }
    long valueWindowLow() const { return valueLow_; }
    long valueWindowHigh() const { return valueHigh_; }
    double valueCoeff() const { return valueCoeff_; }

    // The series shown, owned by the window's owner; null shows none. The
    // view reads it only up to its published count.
    void setSeries(TermDataFile* series);
    TermDataFile* series() const { return series_; }
    void setClockTime(bool on) { clockTime_ = on; }
    bool clockTime() const { return clockTime_; }
    void setBreakAtGaps(bool on) { breakAtGaps_ = on; }
    bool breakAtGaps() const { return breakAtGaps_; }

    // The view's time text of `ms` since the start of the series: elapsed
    // time, or clock time from the series' begin.
    QString FormatTime(long ms) const;
    // The lowest and highest non-zero value of the window's kind over the
    // times [from, to]; none without a series or such a value.
    std::optional<graph::ValueLimits> valueLimits(long from, long to);
    // Draws the series line with the series pen; nothing without a series.
    void DrawSeries(QPainter& painter);

    static QColor backgroundColor() { return {253, 253, 210}; }
    static QColor tooltipColor() { return {240, 255, 255}; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    GraphViewHost* host() const;
    graph::GraphKind kind() const;
    void drawGrid(QPainter& painter, const CRangeBar& values, const CRangeBar& times) const;
    // The tooltip's text at the last mouse position; empty without a record.
    QString tooltipText() const;

    long timeStart_ = 0;
    long timeEnd_ = 0;
    long valueLow_ = 0;
    long valueHigh_ = 2000;
    double timeCoeff_ = 1.0;
    double valueCoeff_ = 1.0;
    bool clockTime_ = false;
    QPen seriesPen_;
    QPoint lastMouse_;
    TermDataFile* series_ = nullptr;
    bool breakAtGaps_ = false;
    // The series per pixel column, brought up to date by each paint.
    graph::ColumnSummary summary_;
    // Reused by every paint, so that drawing allocates only when it grows.
    std::vector<graph::Segment> segments_;
    graph::LineStrokes strokes_;
    QVector<QLine> lines_;
};
