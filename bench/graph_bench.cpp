// The graph window's costs, headless unless QT_QPA_PLATFORM names a platform:
// a repaint of the view whose window holds 1k, 16k or all 127,999 records at
// 1000 pixels (as it stands, and after the time window moved), one reading
// with the graph open at 10, 16k and 127k records, the time from a reading's
// receipt to the end of the window's flush at a 20 ms period, one reading's
// handling with automatic limits over the whole full series, a drag of the
// time ruler's window across the full series, and for comparison the same
// series drawn as one plain polyline of all its points (and by QCustomPlot,
// where it is installed: qcustomplot_repaint.cpp), and what a plain window
// of the graph's size costs Qt per update at the readings' pace.
#include "flush_clock.h"
#include "shown_graph.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPolygon>
#include <QTimer>

#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using bench::kInterval;
using bench::ShownGraph;

void BM_Repaint(benchmark::State& state)
{
    ShownGraph graph(state.range(0));
    CGraphView* view = graph.wnd.view();
    QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["width"] = view->width();
    state.counters["records"] = static_cast<double>(graph.series->GetCount());
}

// A repaint after the time window moved by one ms: the column summary is
// built afresh from its index before the line is drawn.
void BM_RepaintAfterRescale(benchmark::State& state)
{
    ShownGraph graph(state.range(0));
    CGraphView* view = graph.wnd.view();
    CRangeBar* times = graph.wnd.timeRuler();
    QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
    const long end = times->GetWinMax();
    bool shorter = false;
    for (auto _ : state) {
        shorter = !shorter;
        times->SetWinMax(end - (shorter ? 1 : 0));
        view->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

double threadCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Calls `step` with the number of calls before it every 20 ms (the fastest
// period) for `seconds` of the event loop; returns the interface thread's
// CPU per call, ms, with all the event loop did meanwhile.
double cpuPerStepEvery20ms(int seconds, const std::function<void(long)>& step, long& steps)
{
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    const long before = steps;
    QObject::connect(&tick, &QTimer::timeout, [&] { step(steps++); });
    const double cpuBefore = threadCpuMs();
    tick.start(20);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    return (threadCpuMs() - cpuBefore) / static_cast<double>(std::max(1L, steps - before));
}

// Readings every 20 ms (the fastest period) with the graph showing the whole
// series, which stretches to each: the interface thread's CPU per reading,
// its handling and the window's repaint, over 6 s.
void BM_ReadingWithGraphOpen(benchmark::State& state)
{
    ShownGraph graph(state.range(0));
    long readings = 0;
    for (auto _ : state)
        state.counters["cpu ms/reading"] =
            cpuPerStepEvery20ms(6, [&](long n) { graph.addReading(812 + n % 7); }, readings);
    state.counters["readings"] = static_cast<double>(readings);
    state.counters["records"] = static_cast<double>(graph.series->GetCount());
}

// What Qt itself costs here per update at the same pace, for comparison with
// a reading's: a plain window of the graph's size, 880 x 420, every 20 ms
// either painted whole in one colour (as the view is painted, without the
// line) or with only a one-line text changed (as a status pane is).
class PlainWindow : public QWidget {
public:
    PlainWindow()
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        label_ = new QLabel(this);
        label_->setGeometry(10, 400, 300, 16);
    }
    void fillNext()
    {
        fills_ = true;
        update();
    }
    void textNext(long n) { label_->setText(QString("Время от начала опроса 0.000 - %1").arg(n)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), fills_ ? QColor(253, 253, 210) : QColor(236, 233, 216));
    }

private:
    QLabel* label_;
    bool fills_ = false;
};

void BM_QtAloneEvery20ms(benchmark::State& state)
{
    PlainWindow window;
    window.resize(880, 420);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    const bool whole = state.range(0) != 0;
    long updates = 0;
    const auto update = [&](long n) {
        if (whole)
            window.fillNext();
        else
            window.textNext(n);
    };
    for (auto _ : state)
        state.counters["cpu ms/update"] = cpuPerStepEvery20ms(6, update, updates);
    state.SetLabel(whole ? "whole window painted" : "one text changed");
}

// Readings every 20 ms into a series of 127,000 records shown whole in a
// graph of 880 x 420: from each reading's receipt (its record added, its
// message posted) to the end of the window's flush, over 15 s. Run it on an
// X server (QT_QPA_PLATFORM=xcb) for the flush to reach one.
void BM_ReadingToFlush(benchmark::State& state)
{
    ShownGraph graph(127000, 20);
    graph.wnd.resize(880, 420);
    QCoreApplication::processEvents();
    bench::FlushClock clock({&graph.wnd});
    long readings = 0;
    for (auto _ : state)
        cpuPerStepEvery20ms(15, [&](long) {
            clock.received();
            graph.addReading(812);
        }, readings);
    clock.finish();
    state.counters["readings"] = static_cast<double>(clock.latencies.size());
    state.counters["p50 ms"] = bench::percentile(clock.latencies, 0.50);
    state.counters["p99 ms"] = bench::percentile(clock.latencies, 0.99);
    state.counters["max ms"] = bench::percentile(clock.latencies, 1.0);
}

// The same records as one polyline of all points, as a plain QPainter would draw them.
void BM_PlainPolyline(benchmark::State& state)
{
    ShownGraph graph(state.range(0));
    CGraphView* view = graph.wnd.view();
    const CRangeBar& times = *graph.wnd.timeRuler();
    const CRangeBar& values = *graph.wnd.temperatureRuler();
    QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
    const long count = graph.series->GetCount();
    const v4TermData* records = graph.series->GetTermData();
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), CGraphView::backgroundColor());
        QPolygon points(static_cast<int>(count));
        for (long i = 0; i < count; ++i)
            points[static_cast<int>(i)] =
                QPoint(static_cast<int>((records[i].time - times.GetWinMin()) * times.GetWinCoeff()),
                       static_cast<int>(view->height() - (records[i].temperature - values.GetWinMin()) *
                                                             values.GetWinCoeff()));
        painter.setPen(QPen(QColor(255, 0, 0), 1));
        painter.drawPolyline(points);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A reading beyond the end of a full series shown whole with automatic
// limits on: the time ruler's range and window grow (each walking the series
// for the limits), and the event loop repaints the view once.
void BM_ReadingWithAutoLimits(benchmark::State& state)
{
    ShownGraph graph(TermDataFile::kMaxCount);
    graph.wnd.commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    const bool paint = state.range(0) != 0;
    long t = graph.wnd.timeRuler()->GetMax();
    for (auto _ : state) {
        t += kInterval;
        postMessage(&graph.wnd, WM_GRAPH_NEWVALUE, 812, t);
        if (paint)
            QCoreApplication::processEvents();
        else
            QCoreApplication::sendPostedEvents(&graph.wnd, WindowMessageEvent::eventType());
    }
    state.SetLabel(paint ? "handling and repaint" : "handling only");
}

// The time ruler's selector held and moved by 6 pixels back and forth, each
// step painted as the event loop does it: frames of a drag across the full series.
void BM_DragTimeRuler(benchmark::State& state)
{
    ShownGraph graph(TermDataFile::kMaxCount);
    CRangeBar* times = graph.wnd.timeRuler();
    if (state.range(0) != 0)
        graph.wnd.commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    times->SetWinMax(times->GetMin() + (times->GetMax() - times->GetMin()) / 2);
    QCoreApplication::processEvents();
    const QPoint grip = times->CalcSelectorRect().center();
    QTest::mousePress(times, Qt::LeftButton, Qt::NoModifier, grip);
    bool right = true;
    for (auto _ : state) {
        QTest::mouseMove(times, grip + QPoint(right ? 6 : 0, 0));
        right = !right;
        QCoreApplication::processEvents();
    }
    QTest::mouseRelease(times, Qt::LeftButton, Qt::NoModifier, grip);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(state.range(0) != 0 ? "auto limits on" : "auto limits off");
}

BENCHMARK(BM_Repaint)->Arg(1000)->Arg(16000)->Arg(TermDataFile::kMaxCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintAfterRescale)->Arg(1000)->Arg(16000)->Arg(TermDataFile::kMaxCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadingWithGraphOpen)->Arg(10)->Arg(16000)->Arg(127000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ReadingToFlush)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_QtAloneEvery20ms)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_PlainPolyline)->Arg(1000)->Arg(16000)->Arg(TermDataFile::kMaxCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadingWithAutoLimits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragTimeRuler)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
