// QCustomPlot drawing the same records as the graph's repaint benchmark, in a
// plot area of the same 1000 x 400 pixels with the same windows, a red line
// of one pixel without antialiasing, as the view draws: the replot into its
// buffers and their copy into an image, as the view's render does.
#include "shown_graph.h"

#include <qcustomplot.h>

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

void BM_QCustomPlotRepaint(benchmark::State& state)
{
    const auto series = bench::makeSeries(state.range(0));
    const long count = series->GetCount();
    QVector<double> times(static_cast<int>(count));
    QVector<double> values(static_cast<int>(count));
    for (long i = 0; i < count; ++i) {
        times[static_cast<int>(i)] = series->GetTermData()[i].time;
        values[static_cast<int>(i)] = series->GetTermData()[i].temperature;
    }
    QCustomPlot plot;
    plot.resize(bench::kViewWidth, bench::kViewHeight);
    plot.axisRect()->setAutoMargins(QCP::msNone);
    plot.axisRect()->setMargins(QMargins(0, 0, 0, 0));
    plot.setNotAntialiasedElements(QCP::aeAll);
    QCPGraph* graph = plot.addGraph();
    graph->setPen(QPen(QColor(255, 0, 0), 1));
    graph->setData(times, values, true);
    plot.xAxis->setRange(0, static_cast<double>(times.back()));
    plot.yAxis->setRange(700, 900);
    plot.show();
    QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        plot.replot(QCustomPlot::rpQueuedRefresh);
        plot.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["records"] = static_cast<double>(count);
}

BENCHMARK(BM_QCustomPlotRepaint)->Arg(1000)->Arg(16000)->Arg(TermDataFile::kMaxCount)->Unit(benchmark::kMillisecond);

}  // namespace
