// CGraphWnd: a small tool window that plots one measurement series against
// time. The view in the middle, the temperature ruler on its left, the time
// ruler below it, the latest reading in the corner between the rulers and a
// status bar of four panes. The rulers' windows decide what is visible; new
// readings move the time window along with the data.
//
// The window belongs to an owner (a main window) that keeps the series and
// feeds the window with private messages (window_messages.h):
//   WM_GRAPH_SETDATA (+201), WM_GRAPH_SETSPAN (+202), WM_GRAPH_NEWVALUE (+203,
//   posted), WM_GRAPH_SETLIMITS (+208), WM_GRAPH_SETSERIES (+209).
// When the user closes the window it sends WM_GRAPH_CLOSED (+207) with its
// kind to the owner and stays; the owner hides it. Without an owner it hides
// itself. The owner reaches the rulers directly to set ranges.
#pragma once

#include "graph/graph_kind.h"
#include "graph/graph_view.h"

#include <kcmb.h>

#include <QWidget>

#include <array>
#include <map>
#include <optional>

class CRangeBar;
class QAction;

namespace graph {
class PaneStrip;
class PrintRunner;
}
class QLabel;
class QMenu;
class QStatusBar;

class CGraphWnd : public QWidget, public GraphViewHost {
    Q_OBJECT

public:
    // Command identifiers of the context menus and the window's shortcuts.
    enum Command : int {
        ID_GRAPH_PRINT = 32779,
        ID_GRAPH_WHOLE = 32785,
        ID_GRAPH_AUTOLIMITS = 32786,
        ID_GRAPH_CLOCKTIME = 32790,
        ID_GRAPH_SAVE = 32787,
        ID_GRAPH_LIMITS = 32792,
        ID_GRAPH_LIMITS_KEY = 32776,
        ID_GRAPH_BREAKATGAPS = 32778,
    };

    // A window of `kind` reporting its closing to `owner`. The initial size
    // is 300 x 200; the owner sets the title.
    explicit CGraphWnd(graph::GraphKind kind = graph::GraphKind::Temperature, QObject* owner = nullptr,
                       QWidget* parent = nullptr);
    ~CGraphWnd() override;

    void setOwner(QObject* owner) { owner_ = owner; }
    QObject* owner() const { return owner_; }

    graph::GraphKind graphKind() const override { return kind_; }
    CRangeBar* temperatureRuler() const override { return temperatureRuler_; }
    CRangeBar* timeRuler() const override { return timeRuler_; }
    CGraphView* view() const { return view_; }
    QStatusBar* statusBar() const { return statusBar_; }
    QString paneText(int pane) const;
    // The latest reading shown in the corner square, if any came.
    std::optional<long> cornerValue() const { return cornerValue_; }
    // Clears the corner square, for a series that is not the live one.
    void forgetReading();
    // The context menu of the window's kind.
    QMenu* contextMenu() const { return menu_; }
    QAction* commandAction(int command) const;

    bool autoLimits() const { return autoLimits_; }
    bool clockTime() const { return clockTime_; }

    // The commands.
    void showWholeGraph();
    void toggleAutoLimits();
    void toggleClockTime();
    void toggleBreakAtGaps();
    // Opens the limits dialog on the temperature ruler and applies its
    // values in the order maximum, minimum, window maximum, window minimum.
    void editLimits();
    // Asks for a printer and prints the visible part of the graph on a page
    // of its own, on a worker thread; returns at once.
    void printGraph();
    // Asks for a file and writes the whole series into it as text.
    void saveSeriesAsText();
    // Print jobs started and not yet finished.
    int printJobsRunning() const;

    // Fits the value window to the non-zero values inside the time window
    // when automatic limits are on.
    void AutoLimits();

    // GraphViewHost
    void setPaneText(int pane, const QString& text) override;
    void viewRightClicked(const QPoint& globalPos) override;

signals:
    // After a print job has finished.
    void printJobFinished();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void handleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void setValueRange(long low, long high);
    void attachSeries(TermDataFile* series);
    void followReading(long value, long time);
    void startOnTheValues();
    void placeOnTheValues();
    void arrangePanes(int width);
    void layoutChildren();
    QRect cornerRect() const;
    void buildMenus();
    QAction* addCommand(QMenu* menu, const QString& text, int command, void (CGraphWnd::*slot)());
    void updateCommandStates();

    void onTemperatureRange(long min, long max);
    void onTemperatureWindow(long winMin, long winMax);
    void onTimeRange(long min, long max);
    void onTimeWindow(long winMin, long winMax);

    graph::GraphKind kind_;
    QObject* owner_;
    CGraphView* view_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    std::array<QLabel*, 4> panes_{};
    graph::PaneStrip* paneStrip_ = nullptr;
    CRangeBar* temperatureRuler_ = nullptr;
    CRangeBar* timeRuler_ = nullptr;
    bool autoLimits_ = false;
    bool clockTime_ = false;
    std::optional<long> cornerValue_;
    // The quantum graph's value window waits to be placed on the counts.
    bool valuesPending_ = false;
    QMenu* menu_ = nullptr;
    std::map<int, QAction*> commands_;
    graph::PrintRunner* printRunner_ = nullptr;
};
