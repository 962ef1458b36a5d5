// The graph window's costs, headless: a repaint of the view whose window holds
// 1k, 16k or all 127,999 records at 1000 pixels, one reading's handling with
// automatic limits over the whole full series, a drag of the time ruler's
// window across the full series, and for comparison the same series drawn as
// one plain polyline of all its points.
#include "graph/graph_wnd.h"
#include "services/window_messages.h"

#include <rangebar.h>

#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 400;
constexpr long kInterval = 100;  // ms between readings

// A furnace-like signal: a slow swing with fast noise, around 800 °C.
long temperatureAt(long i)
{
    return 800 + static_cast<long>(40.0 * std::sin(i / 2000.0) + 6.0 * std::sin(i * 1.7));
}

std::unique_ptr<TermDataFile> makeSeries(long count)
{
    auto series = std::make_unique<TermDataFile>();
    for (long i = 0; i < count; ++i)
        series->Add(i * kInterval, temperatureAt(i), 95, 30000 + temperatureAt(i));
    return series;
}

// A shown temperature graph whose view is 1000 x 400 pixels, showing the whole series.
struct ShownGraph {
    explicit ShownGraph(long count) : series(makeSeries(count))
    {
        wnd.show();
        (void)QTest::qWaitForWindowExposed(&wnd);
        sendMessage(&wnd, WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(series.get()));
        wnd.timeRuler()->SetWinMin(wnd.timeRuler()->GetMin());
        wnd.temperatureRuler()->SetWinMax(900);
        wnd.temperatureRuler()->SetWinMin(700);
        QCoreApplication::processEvents();  // the rulers' new labels may ask for a new layout
        const int extraWidth = wnd.width() - wnd.view()->width();
        const int extraHeight = wnd.height() - wnd.view()->height();
        wnd.resize(kViewWidth + extraWidth, kViewHeight + extraHeight);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<TermDataFile> series;
    CGraphWnd wnd;
};

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
BENCHMARK(BM_PlainPolyline)->Arg(1000)->Arg(16000)->Arg(TermDataFile::kMaxCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadingWithAutoLimits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragTimeRuler)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
